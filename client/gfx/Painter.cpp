#include "gfx/Painter.h"

#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

#include "gfx/PictureCache.h"
#include "gfx/Primitives.h"
#include "gfx/ScaledImage.h"

namespace tavrin::gfx {

Painter::Painter(PixelCanvas canvas) : canvas_(canvas) {
  state_.clip = canvas_.bounds();
}

void Painter::save() {
  saved_.push_back(state_);
}

void Painter::restore() {
  if (saved_.empty()) return;
  state_ = saved_.back();
  saved_.pop_back();
}

void Painter::translate(int dx, int dy) {
  state_.origin.x += dx;
  state_.origin.y += dy;
}

void Painter::clip(const Rect& r) {
  state_.clip = state_.clip.intersect(r.offset(state_.origin.x, state_.origin.y));
}

Rect Painter::clip_rect() const {
  return state_.clip.offset(-state_.origin.x, -state_.origin.y);
}

PixelCanvas Painter::target(Point* shift) const {
  const PixelCanvas sub = canvas_.sub(state_.clip);
  // Current (x, y) lands on canvas (x + origin); the sub-canvas starts at
  // the clip's top-left corner (kept inside the canvas by sub()).
  const Rect c = state_.clip.intersect(canvas_.bounds());
  *shift = {state_.origin.x - c.left, state_.origin.y - c.top};
  return sub;
}

#define TAVRIN_PAINT(call)      \
  do {                          \
    Point s;                    \
    PixelCanvas c = target(&s); \
    if (!c.valid()) return;     \
    call;                       \
  } while (0)

void Painter::fill_rect(const Rect& r, Colour colour, int alpha, bool frame) {
  TAVRIN_PAINT(gfx::fill_rect(c, colour, r.offset(s.x, s.y), alpha, frame));
}
void Painter::fill_rounded(const Rect& r, Colour colour, int alpha, bool frame) {
  TAVRIN_PAINT(gfx::fill_rounded(c, colour, r.offset(s.x, s.y), alpha, frame));
}
void Painter::draw_frame(const Rect& r, Colour colour, int alpha) {
  TAVRIN_PAINT(gfx::draw_frame(c, colour, r.offset(s.x, s.y), alpha));
}
void Painter::draw_rounded_frame(const Rect& r, Colour colour, int alpha) {
  TAVRIN_PAINT(gfx::draw_rounded_frame(c, colour, r.offset(s.x, s.y), alpha));
}
void Painter::fill_shaded(const Rect& r, Colour fill, Colour shade, int fill_alpha, int style,
                          bool do_fill) {
  TAVRIN_PAINT(gfx::fill_shaded(c, fill, shade, r.offset(s.x, s.y), fill_alpha, style, do_fill));
}
void Painter::glossy_panel(const Rect& r, Colour fill, Colour shade, int alpha, int style) {
  TAVRIN_PAINT(gfx::draw_glossy_panel(c, fill, shade, r.offset(s.x, s.y), alpha, style));
}
void Painter::highlight_cap(const Rect& r) {
  TAVRIN_PAINT(gfx::draw_highlight_cap(c, r.offset(s.x, s.y)));
}
void Painter::hline(int y, int x0, int x1, Colour colour, int alpha) {
  TAVRIN_PAINT(gfx::draw_hline(c, y + s.y, x0 + s.x, x1 + s.x, colour, alpha));
}
void Painter::vline(int x, int y0, int y1, Colour colour, int alpha) {
  TAVRIN_PAINT(gfx::draw_vline(c, x + s.x, y0 + s.y, y1 + s.y, colour, alpha));
}
void Painter::faded_hline(int y, int x0, int x1, Colour colour, int alpha, int fade) {
  TAVRIN_PAINT(gfx::draw_faded_hline(c, y + s.y, x0 + s.x, x1 + s.x, colour, alpha, fade));
}

void Painter::image(const CSkinImage& image, int x, int y, const Rect* src, int opacity) {
  TAVRIN_PAINT(image.draw(c, x + s.x, y + s.y, src, opacity));
}
void Painter::image_scaled(const platform::ArgbImage& image, const Rect& dest) {
  TAVRIN_PAINT(draw_scaled(c, image, dest.offset(s.x, s.y)));
}
bool Painter::picture(const std::string& path, const Rect& dest) {
  const auto decoded = cached_picture(path, dest.width(), dest.height());
  if (!decoded) return false;
  image_scaled(*decoded, dest);
  return true;
}
void Painter::blit(const PixelCanvas& src, const Rect& src_rect, int x, int y) {
  TAVRIN_PAINT(c.copy_from(src, src_rect, x + s.x, y + s.y));
}

int Painter::text(std::u16string_view text, const Rect& r, const platform::Font& font,
                  Colour colour, unsigned flags) {
  Point s;
  PixelCanvas c = target(&s);
  if (!c.valid()) return 0;
  platform::PixelBuffer565 buffer = c.buffer();
  const Rect at = r.offset(s.x, s.y);
  return font.draw(buffer, text, {at.left, at.top, at.right, at.bottom}, colour, flags);
}

int Painter::text(std::u16string_view text, const Rect& r, int height, Colour colour,
                  unsigned flags, std::u16string_view face) {
  const platform::Font* f = font(height, face);
  return f ? this->text(text, r, *f, colour, flags) : 0;
}

namespace {
double linear(unsigned v) {
  const double c = v / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double luminance(Colour c) {
  return 0.2126 * linear(c & 255) + 0.7152 * linear((c >> 8) & 255) +
         0.0722 * linear((c >> 16) & 255);
}
Colour mix(Colour a, Colour b, int t) {  // t of 16 toward b
  Colour out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int x = int((a >> shift) & 255), y = int((b >> shift) & 255);
    out |= Colour(x + (y - x) * t / 16) << shift;
  }
  return out;
}
}  // namespace

double Painter::contrast(Colour a, Colour b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Painter::Veil Painter::veil_for(std::initializer_list<Colour> inks) {
  const auto colour_of = [](uint16_t pixel) {
    return Colour((pixel >> 11) * 255 / 31) | Colour(((pixel >> 5) & 63) * 255 / 63) << 8 |
           Colour((pixel & 31) * 255 / 31) << 16;
  };
  // 4.5:1 with a margin for the rounding of the blend.
  constexpr double kReads = 4.8;
  Veil best{0, 256};
  for (const Colour toward : {Colour(0x000000), Colour(0xFFFFFF)}) {
    const uint16_t shade = to_rgb565(toward);
    for (int alpha = 0; alpha < best.alpha && alpha <= 255; ++alpha) {
      // Every pixel under the veil lies between these two after it.
      const Colour dark = colour_of(blend565(0x0000, shade, alpha));
      const Colour light = colour_of(blend565(0xFFFF, shade, alpha));
      bool reads = true;
      for (const Colour ink : inks) {
        const double l = luminance(ink);
        const bool outside = l < luminance(dark) || l > luminance(light);
        if (!outside || contrast(ink, dark) < kReads || contrast(ink, light) < kReads) {
          reads = false;
          break;
        }
      }
      if (reads) best = {toward, alpha};
    }
  }
  return best.alpha > 255 ? Veil{} : best;
}

void Painter::veil(const Rect& r, std::initializer_list<Colour> inks) {
  const Veil v = veil_for(inks);
  if (v.alpha > 0) fill_rect(r, v.colour, v.alpha);
}

Colour Painter::legible(Colour ink, const Rect& r) const {
  const Rect at =
      r.offset(state_.origin.x, state_.origin.y).intersect(state_.clip).intersect(canvas_.bounds());
  if (at.empty()) return ink;
  std::unordered_map<uint16_t, int> counts;
  for (int y = at.top; y < at.bottom; ++y)
    for (int x = at.left; x < at.right; ++x) ++counts[canvas_.at(x, y)];
  // The most frequent pixel, and the darkest and the lightest of those
  // that cover a fiftieth of r or more: a gradient or a picture reads
  // fully only where all three do.
  const int total = at.width() * at.height();
  const auto colour_of = [](uint16_t pixel) {
    return Colour((pixel >> 11) * 255 / 31) | Colour(((pixel >> 5) & 63) * 255 / 63) << 8 |
           Colour((pixel & 31) * 255 / 31) << 16;
  };
  Colour darkest = 0xFFFFFF, lightest = 0x000000, most = 0;
  int most_n = -1;
  for (const auto& [pixel, n] : counts) {
    if (n > most_n || (n == most_n && colour_of(pixel) < most)) most_n = n, most = colour_of(pixel);
    if (n * 50 < total) continue;
    const Colour c = colour_of(pixel);
    if (luminance(c) < luminance(darkest)) darkest = c;
    if (luminance(c) > luminance(lightest)) lightest = c;
  }
  if (luminance(lightest) < luminance(darkest)) return ink;  // no pixel covers enough
  // 4.5:1 with a margin for the pixels the rectangle and the letters do not share.
  constexpr double kReads = 4.8;
  const auto worst = [&](Colour c) {
    return std::min({contrast(c, darkest), contrast(c, lightest), contrast(c, most)});
  };
  if (worst(ink) >= kReads) return ink;
  // The nearest shade toward black or white that reads on all three;
  // where none does (a steep gradient, a sheen), the one that reads best
  // of those that read on the most frequent pixel.
  Colour best_shade = ink;
  const auto better = [&](Colour a, Colour b) {
    const bool a_main = contrast(a, most) >= kReads, b_main = contrast(b, most) >= kReads;
    return a_main != b_main ? a_main : worst(a) > worst(b);
  };
  for (int t = 1; t <= 16; ++t) {
    for (const Colour toward : {Colour(0x000000), Colour(0xFFFFFF)}) {
      const Colour shade = mix(ink, toward, t);
      if (worst(shade) >= kReads) return shade;
      if (better(shade, best_shade)) best_shade = shade;
    }
  }
  return best_shade;
}

int Painter::fitted_text(std::u16string_view text, const Rect& r, int height, int min_height,
                         Colour colour, unsigned flags, std::u16string_view face) {
  flags |= platform::text::kSingleLine;
  for (int h = height; h >= min_height && h > 0; --h) {
    const platform::Font* f = font(h, face);
    if (!f) return 0;
    if (f->text_width(text) <= r.width() || h == min_height) {
      this->text(f->fitted(text, r.width()), r, *f, colour, flags);
      return h;
    }
  }
  return 0;
}

void Painter::bitmap_text(const CBitmapFont& font, std::string_view gb2312, const Rect& r,
                          Colour colour, int alpha) {
  TAVRIN_PAINT(font.draw(c, gb2312.data(), int(gb2312.size()), colour, r.offset(s.x, s.y), alpha));
}

#undef TAVRIN_PAINT

const platform::Font* Painter::font(int height, std::u16string_view face) {
  // UI thread only, like every painter; faces stay loaded for the process.
  static std::map<std::pair<std::u16string, int>, std::optional<platform::Font>> fonts;
  auto key = std::make_pair(std::u16string(face), height);
  auto it = fonts.find(key);
  if (it == fonts.end()) it = fonts.emplace(key, make_font(height, face)).first;
  return it->second ? &*it->second : nullptr;
}

}  // namespace tavrin::gfx
