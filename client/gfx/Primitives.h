// The pixel primitives every screen paints with, on a PixelCanvas.
//
// Colours are 0x00BBGGRR; alpha is 0..255 in the alpha modes of Rgb565.h.
// Rectangles are half-open. Every primitive clips to the canvas: any
// rectangle, negative or larger than the canvas, is safe. UI thread only.
#pragma once

#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "gfx/Rgb565.h"

namespace tavrin::gfx {

// Pixels x0 <= x < x1 of `row` (x0 and x1 swapped if needed). End caps set
// the pixels at x0 - 1 and x1 opaque; glow repeats the line on the rows
// above and below at half the alpha.
void draw_hline(PixelCanvas& c, int row, int x0, int x1, Colour colour, int alpha,
                bool end_caps = false, bool glow = false);
// Pixels y0 <= y < y1 of `column`; glow repeats it on the neighbouring columns.
void draw_vline(PixelCanvas& c, int column, int y0, int y1, Colour colour, int alpha,
                bool glow = false);
// The four edges of `r` (each pixel once).
void draw_frame(PixelCanvas& c, Colour colour, const Rect& r, int alpha, bool glow = false);
// Rows r.top .. r.bottom - 1; `frame` adds an opaque glowing frame.
void fill_rect(PixelCanvas& c, Colour colour, const Rect& r, int alpha, bool frame = false);
// One pixel; halo sets its four neighbours at half the alpha.
void draw_pixel(PixelCanvas& c, int x, int y, Colour colour, int alpha, bool halo = false);
// Full alpha between x0 + n and x1 - n; the n pixels at each end step down
// by alpha / n per pixel towards the ends.
void draw_faded_hline(PixelCanvas& c, int row, int x0, int x1, Colour colour, int alpha, int n);
// Edges inset 4 pixels at the corners, corners of halo pixels.
void draw_rounded_frame(PixelCanvas& c, Colour colour, const Rect& r, int alpha);
// Rows inset 4, 3, 3, 2, 2 on the first and last five rows; `frame` adds an
// opaque rounded frame.
void fill_rounded(PixelCanvas& c, Colour colour, const Rect& r, int alpha, bool frame = false);
// Shade lines of style 1..7 over an optional fill. Shade alphas are kept in
// 0..255 however tall the rectangle.
void fill_shaded(PixelCanvas& c, Colour fill, Colour shade, const Rect& r, int fill_alpha,
                 int style, bool do_fill = true);
// A filled circle of radius `radius`; nothing when it lies wholly off the display.
void draw_disc(PixelCanvas& c, int cx, int cy, int radius, Colour colour, int alpha);
// A disc whose alpha falls off linearly over 15 more pixels outside the radius.
void draw_soft_disc(PixelCanvas& c, int cx, int cy, int radius, Colour colour, int alpha);
// Buttons and selected rows: rounded fill inset 2, two rounded frames at
// 128, and a highlight of shade lines (shade style `style`, 1 if out of range).
void draw_glossy_panel(PixelCanvas& c, Colour fill, Colour shade, const Rect& r, int alpha,
                       int style);
// The white shine along a button's rounded top edge.
void draw_highlight_cap(PixelCanvas& c, const Rect& r);

// The display test of the circle primitives and the bitmap font: the last
// column (479) and the last row (799) of the display count as off it.
constexpr bool on_display(int x, int y) {
  return x >= 0 && x < 479 && y >= 0 && y < 799;
}

}  // namespace tavrin::gfx
