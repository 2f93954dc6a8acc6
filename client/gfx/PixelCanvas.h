// What a locked surface exposes to the primitives: rows of RGB565 pixels.
// Rows are `stride` pixels apart (0: `width` apart, a whole surface); a
// canvas with a larger stride is a window onto part of another, which is
// how the painter clips. The canvas does not own its pixels; it is valid
// between a surface's lock and unlock (or for the life of whatever buffer a
// test or benchmark points it at).
//
// The span operations below are the only writers the primitives use, and each
// clips to the canvas itself, so no caller can write outside it.
#pragma once

#include <cstdint>

#include "gfx/Rect.h"
#include "gfx/Rgb565.h"
#include "platform/pixel_buffer.h"

namespace tavrin::gfx {

struct PixelCanvas {
  int height = 0;
  int width = 0;
  uint16_t* pixels = nullptr;
  int stride = 0;  // pixels from one row to the next; 0: width

  bool valid() const { return pixels && width > 0 && height > 0; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  int pitch() const { return stride > 0 ? stride : width; }
  uint16_t* row(int y) const { return pixels + static_cast<long>(y) * pitch(); }
  // The same pixels as the platform's text and image code takes them.
  platform::PixelBuffer565 buffer() const { return {pixels, width, height, pitch()}; }
  // The part of this canvas inside r (clipped), with its own origin at
  // r's top-left corner clipped; an empty canvas when nothing is left.
  PixelCanvas sub(const Rect& r) const;
  uint16_t at(int x, int y) const { return row(y)[x]; }
  Rect bounds() const { return {0, 0, width, height}; }

  // One pixel in the alpha modes; ignored outside the canvas.
  void blend(int x, int y, uint16_t colour, int alpha) {
    if (contains(x, y)) row(y)[x] = blend565(row(y)[x], colour, alpha);
  }
  // Pixels x0 <= x < x1 of one row, clipped.
  void blend_span(int y, int x0, int x1, uint16_t colour, int alpha);
  // A rectangle, clipped.
  void blend_rect(const Rect& r, uint16_t colour, int alpha);
  // Copies `src` (clipped to the source canvas) to (dx, dy), clipped to this
  // canvas; source and destination may overlap (scrolling within a canvas).
  void copy_from(const PixelCanvas& src, const Rect& src_rect, int dx, int dy);
  void fill_zero();
};

// Blends `count` pixels with one colour in the alpha modes; the span loop
// shared by every filled shape (vectorised where the machine allows).
void blend_run(uint16_t* dst, int count, uint16_t colour, int alpha);

}  // namespace tavrin::gfx
