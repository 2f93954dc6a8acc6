#include "roster/text_cut.h"

#include <cstring>

namespace tavrin::contacts {

namespace {
bool is_continuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}
}  // namespace

std::size_t utf8_cut_length(const char* text, std::size_t length, std::size_t limit) {
  if (length <= limit) return length;
  // The byte at limit is the first that no longer fits. When it continues a
  // character, that character started at most three bytes earlier.
  std::size_t cut = limit;
  for (int back = 0; back < 3 && cut > 0 && is_continuation(static_cast<unsigned char>(text[cut]));
       ++back)
    --cut;
  const auto lead = static_cast<unsigned char>(text[cut]);
  if (is_continuation(static_cast<unsigned char>(text[limit])) && (lead & 0xC0) != 0xC0)
    return limit;  // no lead byte in reach: not UTF-8, cut the bytes
  return cut;
}

std::string utf8_cut(const char* text, std::size_t limit) {
  if (text == nullptr) return {};
  const std::size_t length = std::strlen(text);
  return std::string(text, utf8_cut_length(text, length, limit));
}

}  // namespace tavrin::contacts
