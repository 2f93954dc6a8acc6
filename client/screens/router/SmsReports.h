// Delivery reports of SMS sent to phones. The service tells the sender
// as a line from the phone's "tel:" contact with content type
// "text/sms-report" and the text "短信已送达：" (delivered) or "短信未送达："
// (not delivered) followed by the SMS. A screen that shows SMS it sent
// (the group SMS) claims matching reports while it is open, so the state
// lands on that SMS's line and the report is not shown again as a chat
// line; an unclaimed report stays an ordinary line of the contact.
// UI thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::screens {

struct SmsReport {
  long contact_id = 0;
  bool delivered = false;
  std::u16string text;  // the SMS as the line gives it back
};

// The report a received line carries (its content type and its text
// without formatting), or nullopt for any other line.
std::optional<SmsReport> sms_report_of(long contact_id, const char* content_type,
                                       std::u16string_view text);

// A claim while it lives: fn gets each report and says whether it took it.
class SmsReportClaim {
 public:
  using Fn = std::function<bool(const SmsReport&)>;
  explicit SmsReportClaim(Fn fn);
  ~SmsReportClaim();
  SmsReportClaim(const SmsReportClaim&) = delete;
  SmsReportClaim& operator=(const SmsReportClaim&) = delete;

 private:
  Fn fn_;
  friend bool claim_sms_report(const SmsReport& report);
};

// Offers the report to the live claims, newest first; true when one took it.
// A claim must not end while it handles a report.
bool claim_sms_report(const SmsReport& report);

}  // namespace tavrin::screens
