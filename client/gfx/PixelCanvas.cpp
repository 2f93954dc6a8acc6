#include "gfx/PixelCanvas.h"

#include <algorithm>
#include <cstring>

namespace tavrin::gfx {

void blend_run(uint16_t* dst, int count, uint16_t colour, int alpha) {
  if (count <= 0 || alpha <= 3) return;  // factor 0: nothing changes
  if (alpha >= 255) {
    std::fill_n(dst, count, colour);
    return;
  }
  if (alpha == 128) {
    const uint16_t half = (colour & 0xF7DF) >> 1;
    for (int i = 0; i < count; ++i) dst[i] = uint16_t(((dst[i] & 0xF7DF) >> 1) + half);
    return;
  }
  // Per channel, old + floor((new - old) * a / 64): the same bits as the
  // packed red-blue / green form, but in 16-bit lanes the compiler can
  // vectorise (the channel gaps of the packed form absorb every borrow).
  const int a = alpha >> 2;
  const int16_t rn = colour >> 11, gn = (colour >> 5) & 63, bn = colour & 31;
  for (int i = 0; i < count; ++i) {
    const int16_t p = int16_t(dst[i]);
    const int16_t ro = uint16_t(p) >> 11, go = (uint16_t(p) >> 5) & 63, bo = p & 31;
    const int16_t r = int16_t(ro + int16_t(int16_t((rn - ro) * a) >> 6));
    const int16_t g = int16_t(go + int16_t(int16_t((gn - go) * a) >> 6));
    const int16_t b = int16_t(bo + int16_t(int16_t((bn - bo) * a) >> 6));
    dst[i] = uint16_t((r << 11) | (g << 5) | b);
  }
}

void PixelCanvas::blend_span(int y, int x0, int x1, uint16_t colour, int alpha) {
  if (!valid() || y < 0 || y >= height) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, width);
  if (x1 > x0) blend_run(row(y) + x0, x1 - x0, colour, alpha);
}

void PixelCanvas::blend_rect(const Rect& r, uint16_t colour, int alpha) {
  if (!valid()) return;
  const Rect c = r.intersect(bounds());
  if (c.empty()) return;
  for (int y = c.top; y < c.bottom; ++y) blend_run(row(y) + c.left, c.width(), colour, alpha);
}

void PixelCanvas::copy_from(const PixelCanvas& src, const Rect& src_rect, int dx, int dy) {
  if (!valid() || !src.valid()) return;
  Rect s = src_rect.intersect(src.bounds());
  dx += s.left - src_rect.left;
  dy += s.top - src_rect.top;
  // Clip the destination, moving the source start with it.
  if (dx < 0) s.left -= dx, dx = 0;
  if (dy < 0) s.top -= dy, dy = 0;
  const int w = std::min(s.width(), width - dx);
  const int h = std::min(s.height(), height - dy);
  if (w <= 0 || h <= 0) return;
  const size_t bytes = size_t(w) * sizeof(uint16_t);
  // Whole rows with nothing between them (a full-width scroll): one move.
  if (dx == 0 && s.left == 0 && w == pitch() && w == src.pitch()) {
    std::memmove(row(dy), src.row(s.top), bytes * size_t(h));
    return;
  }
  // Row order matters only when scrolling down within one buffer.
  const bool same = src.pixels == pixels;
  if (same && dy > s.top) {
    for (int y = h - 1; y >= 0; --y)
      std::memmove(row(dy + y) + dx, src.row(s.top + y) + s.left, bytes);
  } else {
    for (int y = 0; y < h; ++y) std::memmove(row(dy + y) + dx, src.row(s.top + y) + s.left, bytes);
  }
}

void PixelCanvas::fill_zero() {
  if (!valid()) return;
  for (int y = 0; y < height; ++y) std::memset(row(y), 0, size_t(width) * sizeof(uint16_t));
}

PixelCanvas PixelCanvas::sub(const Rect& r) const {
  const Rect c = r.intersect(bounds());
  if (!valid() || c.empty()) return {};
  return {c.height(), c.width(), row(c.top) + c.left, pitch()};
}

}  // namespace tavrin::gfx
