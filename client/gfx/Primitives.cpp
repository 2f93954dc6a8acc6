#include "gfx/Primitives.h"

#include <algorithm>
#include <utility>

namespace tavrin::gfx {
namespace {

// Largest s with s * s <= v (v >= 0), in integers.
long long isqrt(long long v) {
  long long s = 0;
  for (long long bit = 1LL << 30; bit; bit >>= 1) {
    const long long t = s | bit;
    if (t * t <= v) s = t;
  }
  return s;
}

// A radius this large already covers every canvas from any (clamped)
// centre; larger ones are cut down to it so the squares stay in range.
constexpr int kMaxRadius = 1 << 26;

// Coordinates this far out are off any canvas; clamping them first keeps
// every offset below (insets, glow rows, halo neighbours) from overflowing.
constexpr int kFar = 1 << 24;
int lim(int v) {
  return std::clamp(v, -kFar, kFar);
}
Rect lim(const Rect& r) {
  return {lim(r.left), lim(r.top), lim(r.right), lim(r.bottom)};
}

// Whether the box [x0, x1] x [y0, y1] touches the display at all.
bool box_on_display(long long x0, long long y0, long long x1, long long y1) {
  return x1 >= 0 && x0 < 479 && y1 >= 0 && y0 < 799;
}

// Row insets of the rounded shapes: first and last five rows.
constexpr int kRoundInset[5] = {4, 3, 3, 2, 2};

int rounded_inset(int i, int h) {
  const int top = i < 5 ? kRoundInset[i] : 0;
  const int j = h - 1 - i;
  const int bottom = j < 5 ? kRoundInset[j] : 0;
  return std::max(top, bottom);
}

// Alpha of shade row i (of h) for styles 1..4 and 6; -1: no line on that row.
int shade_alpha(int style, int i, int h) {
  const int half = h / 2;
  int a;
  switch (style) {
    case 1:
      a = i < half ? 160 - i : -1;
      break;
    case 2:
      a = i < half ? 160 - i : 160 - half + (i - half);
      break;
    case 3:
      a = 160 - 2 * i;
      break;
    case 4:
      a = i < half ? 160 + i : 160 + half - (i - half);
      break;
    case 6:
      a = i < half ? 160 - 3 * i : -1;
      break;
    default:
      return -1;
  }
  if (a < 0) return -1;  // a long ramp ends at zero instead of wrapping
  return std::min(a, 255);
}

// The shade lines of `style` over r; `rounded` keeps them inside a rounded shape.
void shade_lines(PixelCanvas& c, uint16_t shade, const Rect& r, int style, bool rounded) {
  const int h = r.height();
  if (h <= 0 || r.width() <= 0) return;
  if (style == 5 || style == 7) {
    const int row = style == 5 ? r.top + 1 : r.bottom + 1;
    for (int d = -1; d <= 1; ++d) c.blend_span(row + d, r.left, r.right, shade, d ? 64 : 128);
    return;
  }
  const int side = style == 2 ? 2 : 0;
  const int first = std::max(0, -r.top), last = std::min(h, c.height - r.top);
  for (int i = first; i < last; ++i) {
    const int a = shade_alpha(style, i, h);
    if (a < 0) continue;
    const int in = side + (rounded ? rounded_inset(i, h) : 0);
    c.blend_span(r.top + i, r.left + in, r.right - in, shade, a);
  }
}

}  // namespace

void draw_hline(PixelCanvas& c, int row, int x0, int x1, Colour colour, int alpha, bool end_caps,
                bool glow) {
  row = lim(row), x0 = lim(x0), x1 = lim(x1);
  if (!c.valid()) return;
  if (x0 > x1) std::swap(x0, x1);
  const uint16_t px = to_rgb565(colour);
  c.blend_span(row, x0, x1, px, alpha);
  if (end_caps) {
    c.blend(x0 - 1, row, px, 255);
    c.blend(x1, row, px, 255);
  }
  if (glow) {
    c.blend_span(row - 1, x0, x1, px, alpha / 2);
    c.blend_span(row + 1, x0, x1, px, alpha / 2);
  }
}

void draw_vline(PixelCanvas& c, int column, int y0, int y1, Colour colour, int alpha, bool glow) {
  column = lim(column), y0 = lim(y0), y1 = lim(y1);
  if (!c.valid()) return;
  if (y0 > y1) std::swap(y0, y1);
  y0 = std::max(y0, 0);
  y1 = std::min(y1, c.height);
  const uint16_t px = to_rgb565(colour);
  for (int dx = glow ? -1 : 0; dx <= (glow ? 1 : 0); ++dx) {
    const int x = column + dx;
    if (x < 0 || x >= c.width) continue;
    const int a = dx ? alpha / 2 : alpha;
    for (int y = y0; y < y1; ++y) c.row(y)[x] = blend565(c.row(y)[x], px, a);
  }
}

void draw_frame(PixelCanvas& c, Colour colour, const Rect& rect, int alpha, bool glow) {
  const Rect r = lim(rect);
  if (r.empty()) return;
  draw_hline(c, r.top, r.left, r.right, colour, alpha, false, glow);
  if (r.bottom - 1 > r.top)
    draw_hline(c, r.bottom - 1, r.left, r.right, colour, alpha, false, glow);
  draw_vline(c, r.left, r.top + 1, r.bottom - 1, colour, alpha, glow);
  if (r.right - 1 > r.left)
    draw_vline(c, r.right - 1, r.top + 1, r.bottom - 1, colour, alpha, glow);
}

void fill_rect(PixelCanvas& c, Colour colour, const Rect& rect, int alpha, bool frame) {
  const Rect r = lim(rect);
  c.blend_rect(r, to_rgb565(colour), alpha);
  if (frame) draw_frame(c, colour, r, 255, true);
}

void draw_pixel(PixelCanvas& c, int x, int y, Colour colour, int alpha, bool halo) {
  x = lim(x), y = lim(y);
  const uint16_t px = to_rgb565(colour);
  c.blend(x, y, px, alpha);
  if (halo) {
    c.blend(x - 1, y, px, alpha / 2);
    c.blend(x + 1, y, px, alpha / 2);
    c.blend(x, y - 1, px, alpha / 2);
    c.blend(x, y + 1, px, alpha / 2);
  }
}

void draw_faded_hline(PixelCanvas& c, int row, int x0, int x1, Colour colour, int alpha, int n) {
  row = lim(row), x0 = lim(x0), x1 = lim(x1);
  if (!c.valid() || row < 0 || row >= c.height) return;
  if (x0 > x1) std::swap(x0, x1);
  if (n <= 0) return draw_hline(c, row, x0, x1, colour, alpha);
  const uint16_t px = to_rgb565(colour);
  const int step = alpha / n;
  for (int x = std::max(x0, 0); x < std::min(x1, c.width); ++x) {
    const int from_left = x - x0, from_right = x1 - 1 - x;
    int a = alpha;
    if (from_left < n) a = std::min(a, alpha - (n - from_left) * step);
    if (from_right < n) a = std::min(a, alpha - (n - from_right) * step);
    c.row(row)[x] = blend565(c.row(row)[x], px, a);
  }
}

void draw_rounded_frame(PixelCanvas& c, Colour colour, const Rect& rect, int alpha) {
  const Rect r = lim(rect);
  if (r.empty()) return;
  const int l = r.left, t = r.top, R = r.right - 1, B = r.bottom - 1;
  draw_hline(c, t, l + 4, r.right - 4, colour, alpha);
  if (B > t) draw_hline(c, B, l + 4, r.right - 4, colour, alpha);
  draw_vline(c, l, t + 4, r.bottom - 4, colour, alpha);
  if (R > l) draw_vline(c, R, t + 4, r.bottom - 4, colour, alpha);
  // Each corner: two halo pixels on the diagonal, the outermost pair at half.
  const int xs[2] = {l, R}, ys[2] = {t, B};
  for (int cx = 0; cx < 2; ++cx) {
    for (int cy = 0; cy < 2; ++cy) {
      const int sx = cx ? -1 : 1, sy = cy ? -1 : 1, x = xs[cx], y = ys[cy];
      draw_pixel(c, x + 2 * sx, y + 1 * sy, colour, alpha, true);
      draw_pixel(c, x + 1 * sx, y + 2 * sy, colour, alpha, true);
      draw_pixel(c, x + 3 * sx, y, colour, alpha / 2);
      draw_pixel(c, x, y + 3 * sy, colour, alpha / 2);
    }
  }
}

void fill_rounded(PixelCanvas& c, Colour colour, const Rect& rect, int alpha, bool frame) {
  const Rect r = lim(rect);
  if (!c.valid() || r.empty()) return;
  const uint16_t px = to_rgb565(colour);
  const int h = r.height();
  const int first = std::max(0, -r.top), last = std::min(h, c.height - r.top);
  for (int i = first; i < last; ++i) {
    const int in = rounded_inset(i, h);
    c.blend_span(r.top + i, r.left + in, r.right - in, px, alpha);
  }
  if (frame) draw_rounded_frame(c, colour, r, 255);
}

void fill_shaded(PixelCanvas& c, Colour fill, Colour shade, const Rect& rect, int fill_alpha,
                 int style, bool do_fill) {
  const Rect r = lim(rect);
  if (!c.valid() || r.empty()) return;
  if (do_fill) fill_rect(c, fill, r, fill_alpha);
  shade_lines(c, to_rgb565(shade), r, style, false);
}

void draw_disc(PixelCanvas& c, int cx, int cy, int radius, Colour colour, int alpha) {
  cx = lim(cx), cy = lim(cy), radius = std::min(radius, kMaxRadius);
  if (!c.valid() || radius < 0) return;
  if (!box_on_display(1LL * cx - radius, 1LL * cy - radius, 1LL * cx + radius, 1LL * cy + radius))
    return;
  const uint16_t px = to_rgb565(colour);
  const int y0 = int(std::max(1LL * cy - radius, 0LL)),
            y1 = int(std::min(1LL * cy + radius, c.height - 1LL));
  for (int y = y0; y <= y1; ++y) {
    const int dy = y - cy;
    // r * r + r: the pixel centres within about half a pixel of the circle,
    // which rounds off the single-pixel tips a plain r * r leaves.
    const int w = int(isqrt((long long)radius * radius + radius - (long long)dy * dy));
    c.blend_span(y, int(std::max(1LL * cx - w, -1LL)),
                 int(std::min(1LL * cx + w + 1, 1LL * c.width)), px, alpha);
  }
}

void draw_soft_disc(PixelCanvas& c, int cx, int cy, int radius, Colour colour, int alpha) {
  cx = lim(cx), cy = lim(cy), radius = std::min(radius, kMaxRadius);
  constexpr int kFalloff = 15;
  if (!c.valid() || radius < 0) return;
  const int outer = radius + kFalloff;
  if (!box_on_display(1LL * cx - outer, 1LL * cy - outer, 1LL * cx + outer, 1LL * cy + outer))
    return;
  const uint16_t px = to_rgb565(colour);
  const int y0 = int(std::max(1LL * cy - outer, 0LL)),
            y1 = int(std::min(1LL * cy + outer, c.height - 1LL));
  const int x0 = int(std::max(1LL * cx - outer, 0LL)),
            x1 = int(std::min(1LL * cx + outer, c.width - 1LL));
  const long long r2 = (long long)radius * radius + radius, o2 = (long long)outer * outer;
  for (int y = y0; y <= y1; ++y) {
    uint16_t* line = c.row(y);
    for (int x = x0; x <= x1; ++x) {
      const long long dx = x - cx, dy = y - cy, d2 = dx * dx + dy * dy;
      if (d2 > o2) continue;
      const int a = d2 <= r2 ? alpha : int(alpha * (outer - isqrt(d2)) / kFalloff);
      line[x] = blend565(line[x], px, a);
    }
  }
}

void draw_glossy_panel(PixelCanvas& c, Colour fill, Colour shade, const Rect& rect, int alpha,
                       int style) {
  const Rect r = lim(rect);
  if (!c.valid() || r.empty()) return;
  if (style < 1 || style > 7) style = 1;
  fill_rounded(c, fill, r.inset(2), alpha);
  draw_rounded_frame(c, fill, r, 128);
  draw_rounded_frame(c, fill, r.inset(1), 128);
  shade_lines(c, to_rgb565(shade), r.inset(2), style, true);
}

void draw_highlight_cap(PixelCanvas& c, const Rect& rect) {
  const Rect r = lim(rect);
  if (!c.valid() || r.width() < 12 || r.height() < 8) return;
  constexpr Colour kWhite = 0xFFFFFF;
  const int l = r.left, t = r.top, R = r.right - 1;
  draw_hline(c, t + 2, l + 6, r.right - 6, kWhite, 128, false, true);
  draw_pixel(c, l + 4, t + 3, kWhite, 128, true);
  draw_pixel(c, R - 4, t + 3, kWhite, 128, true);
  draw_pixel(c, l + 3, t + 5, kWhite, 128, true);
  draw_pixel(c, R - 3, t + 5, kWhite, 128, true);
  draw_pixel(c, l + 2, t + 7, kWhite, 64, true);
  draw_pixel(c, R - 2, t + 7, kWhite, 64, true);
}

}  // namespace tavrin::gfx
