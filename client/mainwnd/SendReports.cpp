#include "mainwnd/SendReports.h"

#include <algorithm>

#include "message_words.h"

namespace tavrin::mainwnd {

bool SendReports::take(const std::u16string& text) {
  auto it = std::find(resend_.begin(), resend_.end(), text);
  if (it == resend_.end()) return false;
  resend_.erase(it);
  return true;
}

std::optional<std::u16string> SendReports::on_result(int code, const std::u16string& text) {
  switch (send_outcome(code)) {
    case Outcome::kAccepted:
      if (take(text)) return u"自动重发OK:\r\n" + text;
      return std::nullopt;
    case Outcome::kRefused:
      take(text);
      return u"发送失败:\r\n" + text;
    case Outcome::kNoAnswer:  // the engine may still deliver it late
      if (std::find(resend_.begin(), resend_.end(), text) == resend_.end()) resend_.push_back(text);
      return u"发送超时:\r\n" + text;
    case Outcome::kLimit:
      take(text);
      return u"发送数目限制:\r\n" + text;
    case Outcome::kNone:
      break;
  }
  return std::nullopt;
}

}  // namespace tavrin::mainwnd
