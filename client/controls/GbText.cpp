#include "controls/GbText.h"

namespace tavrin::controls::gb {
namespace {
bool high(unsigned char c) {
  return c >= 0x80;
}
}  // namespace

size_t char_len(std::string_view s, size_t i) {
  if (i >= s.size()) return 0;
  return high(s[i]) && i + 1 < s.size() ? 2 : 1;
}

// Walking from the start is the only safe way back: a trail byte looks like
// a lead byte. The field's texts are short (a few hundred bytes at most).
size_t prev_start(std::string_view s, size_t i) {
  size_t at = 0, prev = 0;
  while (at < i && at < s.size()) {
    prev = at;
    at += char_len(s, at);
  }
  return prev;
}

size_t next_start(std::string_view s, size_t i) {
  return i >= s.size() ? s.size() : i + char_len(s, i);
}

bool is_boundary(std::string_view s, size_t i) {
  if (i > s.size()) return false;
  size_t at = 0;
  while (at < i) at += char_len(s, at);
  return at == i;
}

std::string sanitize(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    if (!high(c)) {
      out += char(c);
      ++i;
    } else if (i + 1 >= s.size()) {
      break;
    } else if (!high(s[i + 1])) {
      out += '?';
      ++i;
    } else {
      out += s.substr(i, 2);
      i += 2;
    }
  }
  return out;
}

std::string_view fit(std::string_view s, size_t max) {
  size_t at = 0;
  while (at < s.size()) {
    const size_t n = char_len(s, at);
    if (at + n > max) break;
    at += n;
  }
  return s.substr(0, at);
}

size_t char_count(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += char_len(s, i)) ++n;
  return n;
}

}  // namespace tavrin::controls::gb
