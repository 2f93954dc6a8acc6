#include "screens/router/SmsReports.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace tavrin::screens {

namespace {

constexpr std::string_view kReportType = "text/sms-report";
constexpr std::u16string_view kDelivered = u"短信已送达：";
constexpr std::u16string_view kNotDelivered = u"短信未送达：";

// The live claims, oldest first. UI thread only, so no lock.
std::vector<SmsReportClaim*>& claims() {
  static std::vector<SmsReportClaim*> list;
  return list;
}

}  // namespace

std::optional<SmsReport> sms_report_of(long contact_id, const char* content_type,
                                       std::u16string_view text) {
  if (!content_type || kReportType != content_type) return std::nullopt;
  SmsReport report{contact_id, false, {}};
  std::u16string_view rest;
  if (text.starts_with(kDelivered)) {
    report.delivered = true;
    rest = text.substr(kDelivered.size());
  } else if (text.starts_with(kNotDelivered)) {
    rest = text.substr(kNotDelivered.size());
  } else {
    return std::nullopt;
  }
  report.text = std::u16string(rest);
  return report;
}

SmsReportClaim::SmsReportClaim(Fn fn) : fn_(std::move(fn)) {
  claims().push_back(this);
}

SmsReportClaim::~SmsReportClaim() {
  auto& list = claims();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool claim_sms_report(const SmsReport& report) {
  const auto& list = claims();
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if ((*it)->fn_ && (*it)->fn_(report)) return true;
  return false;
}

}  // namespace tavrin::screens
