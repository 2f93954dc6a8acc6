#include "mainwnd/CContactTree.h"

#include <algorithm>

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
