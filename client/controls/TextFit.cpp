#include "controls/TextFit.h"

namespace tavrin::controls {

std::u16string fit_text(const platform::Font& font, std::u16string_view text, int width) {
  if (font.text_width(text) <= width) return std::u16string(text);
  constexpr std::u16string_view kEllipsis = u"…";
  const int room = width - font.text_width(kEllipsis);
  if (room < 0) return {};  // not even the ellipsis
  // extents[i] is the width of text[0..i]: the longest start that fits.
  const std::vector<int> extents = font.extents(text);
  size_t keep = 0;
  while (keep < extents.size() && extents[keep] <= room) ++keep;
  // The first half of a surrogate pair does not stand alone.
  if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
  return std::u16string(text.substr(0, keep)) + std::u16string(kEllipsis);
}

}  // namespace tavrin::controls
