// SendReports: what the main window tells the user about the results of
// lines it sent. Lines whose sending timed out are kept in the resend list;
// when one of them later goes through, the user hears "自动重发OK:"; a
// failure, a time-out or the sending limit is always reported. The text is
// the line as the user wrote it (the engine's formatting stripped).
// UI thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrin::mainwnd {

class SendReports {
 public:
  // The report for a send result code about text, by the outcome the
  // engine's message table gives the code; nullopt when there is nothing to
  // say (an ordinary success, or not a send result).
  std::optional<std::u16string> on_result(int code, const std::u16string& text);
  const std::vector<std::u16string>& resend_list() const { return resend_; }

 private:
  bool take(const std::u16string& text);

  std::vector<std::u16string> resend_;
};

}  // namespace tavrin::mainwnd
