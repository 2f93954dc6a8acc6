#include "gfx/Painter.h"

#include <map>
#include <optional>
#include <utility>

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

#define TAVRIN_PAINT(call)              \
  do {                                  \
    Point s;                            \
    PixelCanvas c = target(&s);         \
    if (!c.valid()) return;             \
    call;                               \
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
bool Painter::png(const std::string& path, const Rect& dest) {
  const auto decoded = platform::decode_png_file(path);
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
