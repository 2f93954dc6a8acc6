#include "mainwnd/SendReports.h"

#include <algorithm>

namespace tavrin::mainwnd {

bool SendReports::take(const std::u16string& text) {
  auto it = std::find(resend_.begin(), resend_.end(), text);
  if (it == resend_.end()) return false;
  resend_.erase(it);
  return true;
}

std::optional<std::u16string> SendReports::on_result(int code, const std::u16string& text) {
  switch (code) {
    case 32:
    case 52:
    case 148:
    case 151:  // accepted
      if (take(text)) return u"自动重发OK:\r\n" + text;
      return std::nullopt;
    case 33:
    case 53:
    case 150:
    case 153:  // refused
      take(text);
      return u"发送失败:\r\n" + text;
    case 34:
    case 54:
    case 149:
    case 152:  // no answer: the engine may still deliver it late
      if (std::find(resend_.begin(), resend_.end(), text) == resend_.end()) resend_.push_back(text);
      return u"发送超时:\r\n" + text;
    case 36:
    case 154:  // the sending limit
      take(text);
      return u"发送数目限制:\r\n" + text;
    default:
      return std::nullopt;
  }
}

}  // namespace tavrin::mainwnd
