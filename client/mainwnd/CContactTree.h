// CContactTree: the main window's contact tree (CScrollTree) with what the
// window needs to draw it as part of its own frame: a layout that does not
// paint (the window may be behind another screen), drawing a band of the
// view into the window's surface, and where content shows on the screen.
// The tree's own scrolling frames still paint and present by themselves.
// Section headers lie on a light band of the theme's background colour, so
// their black captions read over any background image. UI thread.
#pragma once

#include "controls/CScrollTree.h"
#include "gfx/PixelCanvas.h"

namespace tavrin::mainwnd {

class CContactTree : public controls::CScrollTree {
 public:
  // Lays the rows out again and keeps the offset inside the new content.
  void layout_only();
  // Draws the view's rows from view row `first_row` on into `band` (the
  // window surface's pixels for those rows of the view).
  void compose(gfx::PixelCanvas& band, int first_row = 0);
  // The screen rows where content rows [top, bottom) show, clipped to the
  // view; empty when they do not show.
  gfx::Rect on_screen(int top, int bottom);
  // Scrolls so that content row y is at the top, as far as the content allows.
  void scroll_to(int y);

 protected:
  void draw_content(gfx::PixelCanvas& canvas, int offset) override;
};

}  // namespace tavrin::mainwnd
