#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace tavrin::server {

int gVerbosity = 0;

void logAt(int level, const char* format, ...) {
  if (level > gVerbosity) return;
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", &tm);
  std::fprintf(stderr, "[%s] ", stamp);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

}  // namespace tavrin::server
