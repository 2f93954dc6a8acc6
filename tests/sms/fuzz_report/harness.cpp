// Any line the service sends as a delivery report, of any content type:
// read as a report only with a known head, whose SMS text is the rest of
// the line, and offered to a claim without harm.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "screens/router/SmsReports.h"

using namespace tavrin::screens;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* type = (data[0] & 1) ? "text/sms-report" : "text/plain";
  std::u16string text;
  for (size_t i = 1; i + 1 < size; i += 2) text += char16_t(data[i] | (data[i + 1] << 8));
  const auto report = sms_report_of(5, type, text);
  if (report) {
    if (!(data[0] & 1) || report->contact_id != 5) std::abort();
    if (text.size() != report->text.size() + 6 || text.substr(6) != report->text) std::abort();
    static SmsReportClaim claim([](const SmsReport& r) { return r.delivered; });
    if (claim_sms_report(*report) != report->delivered) std::abort();
  }
  return 0;
}
