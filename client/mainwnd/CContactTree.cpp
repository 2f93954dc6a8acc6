#include "mainwnd/CContactTree.h"

#include <algorithm>

#include "gfx/Primitives.h"
#include "shell/theme_colors.h"

namespace tavrin::mainwnd {

void CContactTree::layout_only() {
  scroller().set_extent(layout_content(), view().height());
  const int last = std::max(0, scroller().content_height() - view().height());
  if (scroller().resting_offset() > last) scroller().set_offset(last);
}

void CContactTree::compose(gfx::PixelCanvas& band, int first_row) {
  if (band.valid()) draw_content(band, scroller().offset() + first_row);
}

gfx::Rect CContactTree::on_screen(int top, int bottom) {
  const int shift = view().top - scroller().offset();
  return gfx::Rect{view().left, top + shift, view().right, bottom + shift}.intersect(view());
}

void CContactTree::scroll_to(int y) {
  const int last = std::max(0, scroller().content_height() - view().height());
  scroller().set_offset(std::clamp(y, 0, last));
}

}  // namespace tavrin::mainwnd

namespace tavrin::mainwnd {

void CContactTree::draw_content(gfx::PixelCanvas& canvas, int offset) {
  const auto& theme = shell::theme_colors();
  for (const auto& s : sections()) {
    const int top = s.rect.top - offset;
    if (top >= canvas.height || top + kSectionHeight <= 0) continue;
    gfx::fill_rect(canvas, theme.bg_color, {0, top, canvas.width, top + kSectionHeight - 1}, 200);
  }
  CScrollTree::draw_content(canvas, offset);
}

}  // namespace tavrin::mainwnd
