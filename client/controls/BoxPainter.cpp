#include "controls/BoxPainter.h"

#include "shell/theme_colors.h"

namespace tavrin::controls {

void dim(gfx::Painter& p) {
  p.fill_rect(p.clip_rect(), 0x000000, 128);
}

void draw_panel(gfx::Painter& p, const gfx::Rect& r, gfx::Colour colour, int alpha) {
  p.fill_rounded(r, colour, alpha, false);
  p.draw_rounded_frame(r, 0xFFFFFF, 128);
  p.draw_rounded_frame(r.inset(1), colour, 255);
}

void draw_box_backdrop(gfx::Painter& p, gfx::CSurface& behind, const gfx::Rect& panel) {
  const auto& theme = shell::theme_colors();
  gfx::PixelCanvas grabbed = behind.lock();
  p.blit(grabbed, grabbed.bounds(), 0, 0);
  dim(p);
  draw_panel(p, panel, theme.msg_box_bk_color, theme.msg_box_bg_alpha);
}

void draw_button(gfx::Painter& p, const gfx::Rect& r, std::u16string_view caption, gfx::Colour fill,
                 int alpha, gfx::Colour text_colour) {
  p.glossy_panel(r, fill, 0xFFFFFF, alpha, 6);
  p.highlight_cap(r);
  // The caption's ink must read on the button whatever the theme pairs
  // them with (the box's text colour on a yellow button, say).
  const int mid = (r.top + r.bottom) / 2;
  p.text(caption, r, 30, p.legible(text_colour, {r.left + 8, mid - 6, r.right - 8, mid + 6}),
         platform::text::kCenter | platform::text::kVCenter | platform::text::kSingleLine);
}

}  // namespace tavrin::controls
