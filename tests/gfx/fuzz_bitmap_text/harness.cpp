// Bitmap text from arbitrary bytes: the text a user typed (any GB2312 or
// broken multi-byte sequence) against a font file of any length, drawn
// into rectangles anywhere around a small canvas. Input layout: byte 0 picks
// the font length in glyphs, bytes 1-4 the rectangle, the rest is the text.
#include <cstdint>
#include <vector>

#include "gfx/CBitmapFont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavrin::gfx;
  if (size < 5) return 0;
  static const std::vector<uint8_t> full(size_t(7700) * CBitmapFont::kGlyphBytes, 0xFF);
  CBitmapFont font;
  // 0 to 7650 glyphs, or a length that ends inside a glyph.
  const size_t glyphs = size_t(data[0]) * 30;
  font.load_bytes(
      std::vector<uint8_t>(full.begin(), full.begin() + glyphs * 60 + (data[0] & 1) * 17));
  const Rect rect{int8_t(data[1]), int8_t(data[2]), int8_t(data[1]) + data[3],
                  int8_t(data[2]) + data[4]};
  std::vector<uint16_t> pixels(64 * 48, 0);
  PixelCanvas canvas{48, 64, pixels.data()};
  // An exact-size copy, so a read past the text's end is caught.
  const std::vector<char> text(data + 5, data + size);
  font.draw(canvas, text.data(), int(text.size()), 0xFFFFFF, rect, data[3]);
  return 0;
}
