// The counter under every SMS box: how many characters the box still takes
// and how many SMS the text makes. A text with any character beyond ASCII
// (Chinese, say) goes as 70 characters per SMS, plain ASCII as 160; a
// longer text is cut into parts of 67 or 153, each part carrying the
// joining header. Characters are UTF-16 code units, as the box counts them.
// Pure functions, any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin::screens {

struct SmsCount {
  size_t length = 0;  // characters in the text
  size_t left = 0;    // characters the box still takes
  int parts = 0;      // SMS the text makes (0 for an empty text)
  bool wide = false;  // the text needs the 70-character form
};

SmsCount count_sms(std::u16string_view text, size_t limit);
// "还可输入 %zu 字，共 %d 条短信".
std::u16string counter_text(const SmsCount& count);
// The question before a text goes to many receivers: receivers x parts SMS in all.
std::u16string confirm_text(size_t receivers, int parts);

}  // namespace tavrin::screens
