#include "terminal_text.h"

namespace tavrin::cli {

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t' || c == '\n' || (c >= 0x20 && c < 0x7f)) {
      out += char(c);
    } else if (c < 0x20 || c == 0x7f) {
      out += '^';
      out += char(c == 0x7f ? '?' : c + '@');
    } else if (c == 0xc2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
      out += '?';  // a C1 control, such as U+009B (a one-character CSI)
      ++i;
    } else {
      out += char(c);
    }
  }
  return out;
}

}  // namespace tavrin::cli
