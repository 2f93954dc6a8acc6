#include "mainwnd/header_texts.h"

namespace tavrin::mainwnd {

std::u16string status_word(int state) {
  switch (state) {
    case 66:
      return u"在线";
    case 67:
      return u"忙碌";
    case 68:
      return u"隐身";
    case 69:
      return u"离开";
    default:
      return u"会议";
  }
}

std::u16string status_suffix(int state) {
  return u"（" + status_word(state) + u"）";
}

std::u16string decimal(long value) {
  std::u16string out;
  for (char c : std::to_string(value)) out += char16_t(c);
  return out;
}

std::u16string number_label(long number) {
  return u"号码：" + decimal(number);
}

std::u16string setting_number_label(long number, std::u16string_view word) {
  return u"塔文号码：" + decimal(number) + u"  " + std::u16string(word);
}

int login_status_of(int state) {
  switch (state) {
    case 66:
      return 1;
    case 68:
      return 2;
    case 69:
      return 3;
    default:
      return 4;
  }
}

int status_choice_of(int state) {
  for (int i = 0; i < 4; ++i)
    if (kStatusByChoice[i] == state) return i;
  return 0;
}

std::u16string fill(std::u16string_view pattern, std::u16string_view value) {
  std::u16string out(pattern);
  const size_t at = out.find(u"%s");
  if (at != std::u16string::npos) out.replace(at, 2, value);
  return out;
}

}  // namespace tavrin::mainwnd
