#include "terminal_text.h"

namespace tavrin::cli {

namespace {

constexpr char kReplacement[] = "\xef\xbf\xbd";  // U+FFFD, for bytes that are no UTF-8

// Length of the well-formed UTF-8 sequence at text[i] and its code point;
// 0 when the bytes there are not one (a stray continuation byte such as a
// raw 0x9B, an overlong form, a surrogate, a cut sequence).
size_t decode(std::string_view text, size_t i, char32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char c = b(0);
  size_t n;
  char32_t min;
  if (c >= 0xc2 && c <= 0xdf) {
    n = 2, cp = c & 0x1f, min = 0x80;
  } else if (c >= 0xe0 && c <= 0xef) {
    n = 3, cp = c & 0x0f, min = 0x800;
  } else if (c >= 0xf0 && c <= 0xf4) {
    n = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3f);
  }
  if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return n;
}

// Characters that change how the rest of the line is shown without being
// visible themselves: C1 controls (U+009B is a one-character CSI), the
// direction marks, embeddings, overrides and isolates (U+202E turns the
// rest of a line around), and the line and paragraph separators.
bool invisible_control(char32_t cp) {
  return (cp >= 0x80 && cp <= 0x9f) || cp == 0x061c || cp == 0x200e || cp == 0x200f ||
         (cp >= 0x2028 && cp <= 0x202e) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t' || c == '\n' || (c >= 0x20 && c < 0x7f)) {
      out += char(c);
      ++i;
    } else if (c < 0x20 || c == 0x7f) {
      out += '^';
      out += char(c == 0x7f ? '?' : c + '@');
      ++i;
    } else {
      char32_t cp = 0;
      const size_t n = decode(text, i, cp);
      if (n == 0) {
        out += kReplacement;
        ++i;
      } else {
        if (invisible_control(cp))
          out += '?';
        else
          out.append(text.substr(i, n));
        i += n;
      }
    }
  }
  return out;
}

std::string one_message(std::string_view text) {
  const std::string shown = printable(text);
  std::string out;
  out.reserve(shown.size());
  for (char c : shown) {
    out += c;
    if (c == '\n') out.append(kContinuation);
  }
  return out;
}

}  // namespace tavrin::cli
