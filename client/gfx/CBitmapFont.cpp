#include "gfx/CBitmapFont.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "gfx/Primitives.h"

namespace tavrin::gfx {

CBitmapFont::Metrics CBitmapFont::metrics(unsigned char ch) {
  return bitmap_font_metrics(ch);
}

bool CBitmapFont::load(const std::string& path) {
  free();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return loaded();
}

void CBitmapFont::draw_glyph(PixelCanvas& canvas, int glyph, int x, int y, uint16_t colour,
                             int alpha) const {
  // A short or truncated font file must not be read past its end.
  if (glyph < 0 || size_t(glyph + 1) * kGlyphBytes > data_.size()) return;
  const uint8_t* bits = data_.data() + size_t(glyph) * kGlyphBytes;
  for (int row = 0; row < kCell; ++row, bits += 3) {
    const int py = y + row;
    if (py < 0 || py >= canvas.height || !on_display(0, py)) continue;
    const uint32_t line = (uint32_t(bits[0]) << 16) | (uint32_t(bits[1]) << 8) | bits[2];
    if (!line) continue;
    uint16_t* dst = canvas.row(py);
    for (int col = 0; col < kCell; ++col) {
      if (!(line & (0x800000u >> col))) continue;
      const int px = x + col;
      if (px < 0 || px >= canvas.width || !on_display(px, py)) continue;
      dst[px] = blend565(dst[px], colour, alpha);
    }
  }
}

void CBitmapFont::draw(PixelCanvas& canvas, const char* text, int length, Colour colour,
                       const Rect& rect, int alpha) const {
  if (!canvas.valid() || !text || length <= 0 || !loaded()) return;
  const int n = std::min(length, kMaxTextBytes);
  const uint16_t px = to_rgb565(colour);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  // Far-off rectangles are clamped so the pen arithmetic cannot overflow.
  constexpr int kFar = 1 << 24;
  const int left = std::clamp(rect.left, -kFar, kFar), top = std::clamp(rect.top, -kFar, kFar);
  const int right = std::clamp(rect.right, -kFar, kFar);
  const int bottom = std::clamp(rect.bottom, -kFar, kFar);
  int x = left, y = top;
  for (int i = 0; i < n;) {
    const unsigned char ch = s[i];
    if (ch & 0x80) {
      // A lead byte cut off by the length limit has no character to draw.
      if (i + 1 >= n) break;
      const int glyph = (ch - 0xA1) * 94 + (s[i + 1] - 0xA1);
      if (glyph < kGlyphLimit) draw_glyph(canvas, glyph, x, y, px, alpha);
      x += kCell;
      i += 2;
    } else if (ch == ' ') {
      x += 8;
      ++i;
    } else {
      const Metrics m = metrics(ch);
      x += m.nudge_x;
      const int dy = m.nudge_y + bitmap_font_drop(ch);
      draw_glyph(canvas, ch + 155, x, y + dy, px, alpha);
      x += m.advance;
      ++i;
    }
    if (x + kCell > right) {
      x = left;
      y += kCell;
      if (y + kCell > bottom || y + kCell > 800) break;
    }
  }
}

}  // namespace tavrin::gfx
