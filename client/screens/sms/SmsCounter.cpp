#include "screens/sms/SmsCounter.h"

#include <string>

namespace tavrin::screens {

namespace {
constexpr size_t kWideSingle = 70, kWidePart = 67;
constexpr size_t kAsciiSingle = 160, kAsciiPart = 153;

std::u16string decimal(size_t n) {
  const std::string s = std::to_string(n);
  return {s.begin(), s.end()};
}
}  // namespace

SmsCount count_sms(std::u16string_view text, size_t limit) {
  SmsCount c;
  c.length = text.size();
  c.left = limit > c.length ? limit - c.length : 0;
  for (char16_t ch : text)
    if (ch > 0x7F) c.wide = true;
  if (c.length == 0) return c;
  const size_t single = c.wide ? kWideSingle : kAsciiSingle;
  const size_t part = c.wide ? kWidePart : kAsciiPart;
  c.parts = c.length <= single ? 1 : int((c.length + part - 1) / part);
  return c;
}

std::u16string counter_text(const SmsCount& count) {
  return u"还可输入 " + decimal(count.left) + u" 字，共 " + decimal(size_t(count.parts)) +
         u" 条短信";
}

std::u16string confirm_text(size_t receivers, int parts) {
  return u"将给 " + decimal(receivers) + u" 位好友各发 " + decimal(size_t(parts)) + u" 条，共 " +
         decimal(receivers * size_t(parts)) + u" 条短信，确定发送吗？";
}

}  // namespace tavrin::screens
