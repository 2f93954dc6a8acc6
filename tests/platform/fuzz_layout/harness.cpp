// Text laid out for the screen (names, lines and titles from the server or
// the user): wrapping and the end ellipsis take any UTF-16 and any width,
// the fitted text never exceeds its width once "…" fits, never cuts a
// surrogate pair, and the height is whole lines.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavrin::platform;
  if (size < 2) return 0;
  static const std::optional<Font> font = Font::make(u"黑体", 22);
  if (!font) return 0;
  const int width = data[0] * 2;  // 0..510 pixels
  const unsigned flags = data[1];
  std::u16string text((size - 2) / 2, u'\0');
  for (size_t i = 2; i + 1 < size; i += 2)
    text[(i - 2) / 2] = char16_t(data[i] | (data[i + 1] << 8));
  const int height = font->text_height(text, width, flags | text::kWordBreak);
  if (height <= 0 || height % font->height() != 0) __builtin_trap();
  const std::u16string fitted = font->fitted(text, width);
  if (font->text_width(u"…") <= width && font->text_width(fitted) > width) __builtin_trap();
  // What is kept before "…" is the text's start unit for unit: a pair
  // the text holds is never cut in half.
  // On one line a line break reads as a space: only a text that was cut differs from that.
  std::u16string flat = text;
  for (char16_t& c : flat)
    if (c == u'\r' || c == u'\n') c = u' ';
  const size_t kept = fitted.size() - (fitted != flat && !fitted.empty() ? 1 : 0);
  if (kept > 0 && kept < text.size() && fitted[kept - 1] >= 0xD800 && fitted[kept - 1] < 0xDC00 &&
      text[kept] >= 0xDC00 && text[kept] < 0xE000)
    __builtin_trap();
  std::vector<uint16_t> pixels(size_t(64) * 64);
  PixelBuffer565 buf{pixels.data(), 64, 64, 64};
  font->draw(buf, text, {0, 0, width, 64}, 0, flags);
  return 0;
}
