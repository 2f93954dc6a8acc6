#include "schedule_clock.h"

#include <ctime>
#include <fstream>

#include "sms_service.h"

namespace tavrin::server {

long long scheduleNow(const std::string& testClockFile) {
  if (testClockFile.empty()) return (long long)std::time(nullptr);
  std::ifstream in(testClockFile);
  std::string text;
  if (!in || !std::getline(in, text)) return -1;
  return parseSendTime(text);
}

}  // namespace tavrin::server
