#include "controls/BoxPainter.h"

#include "gfx/Fonts.h"
#include "gfx/Primitives.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

void dim(gfx::PixelCanvas& c) {
  gfx::fill_rect(c, 0x000000, c.bounds(), 128);
}

void draw_panel(gfx::PixelCanvas& c, const gfx::Rect& r, gfx::Colour colour, int alpha) {
  gfx::fill_rounded(c, colour, r, alpha, false);
  gfx::draw_rounded_frame(c, 0xFFFFFF, r, 128);
  gfx::draw_rounded_frame(c, colour, r.inset(1), 255);
}

bool inside_rect(const gfx::Rect& r, platform::Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

void draw_box_backdrop(gfx::PixelCanvas& c, gfx::CSurface& behind) {
  const auto& theme = shell::theme_colors();
  gfx::PixelCanvas grabbed = behind.lock();
  c.copy_from(grabbed, grabbed.bounds(), 0, 0);
  dim(c);
  draw_panel(c, {40, 140, 440, 400}, theme.msg_box_bk_color, theme.msg_box_bg_alpha);
}

void draw_button(gfx::PixelCanvas& c, const gfx::Rect& r, std::u16string_view caption,
                 gfx::Colour fill, int alpha, gfx::Colour text_colour) {
  gfx::draw_glossy_panel(c, fill, 0xFFFFFF, r, alpha, 6);
  gfx::draw_highlight_cap(c, r);
  draw_text(c, caption, r, 30, text_colour,
            platform::text::kCenter | platform::text::kVCenter | platform::text::kSingleLine);
}

void draw_text(gfx::PixelCanvas& c, std::u16string_view text, const gfx::Rect& r, int height,
               gfx::Colour colour, unsigned flags) {
  const auto font = gfx::make_font(height);
  if (!font || !c.valid()) return;
  platform::PixelBuffer565 target{c.pixels, c.width, c.height, c.width};
  font->draw(target, text, {r.left, r.top, r.right, r.bottom}, colour, flags);
}

}  // namespace tavrin::controls
