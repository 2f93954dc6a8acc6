#include "controls/ScrollView.h"

#include "controls/ShellBars.h"

namespace tavrin::controls {

using platform::Point;

ScrollView::ScrollView(uint32_t step_message)
    : step_message_(step_message), scroller_([this] { paint(); }) {}

ScrollView::~ScrollView() {
  destroy();
}

bool ScrollView::create(platform::WindowId owner, int left, int top, int right, int bottom, int) {
  destroy();
  owner_ = owner;
  view_ = {left, top, right, bottom};
  if (!surface_.create(owner, view_.width(), view_.height())) return false;
  scroller_.start_thread(step_message_, id_, owner_);
  return true;
}

void ScrollView::destroy() {
  scroller_.stop_thread();
  surface_.free();
  backdrop_.clear();
  backdrop_taken_ = false;
  pressing_ = false;
}

void ScrollView::set_id(uintptr_t id) {
  id_ = id;
  scroller_.retarget(owner_, id_);
}

void ScrollView::set_owner(platform::WindowId owner) {
  owner_ = owner;
  scroller_.retarget(owner_, id_);
}

void ScrollView::set_background(gfx::CSurface* surface, Point surface_origin) {
  background_ = surface;
  background_origin_ = surface_origin;
}

bool ScrollView::stylus(platform::StylusAction action, platform::Point p) {
  switch (action) {
    case platform::StylusAction::kDown:
      return stylus_down(p);
    case platform::StylusAction::kMove:
      return stylus_move(p);
    case platform::StylusAction::kUp:
      return stylus_up(p);
  }
  return false;
}

bool ScrollView::stylus_down(Point p) {
  const platform::Rect v{view_.left, view_.top, view_.right, view_.bottom};
  if (!v.contains(p)) {
    pressing_ = false;
    return false;
  }
  pressing_ = true;
  dragged_ = false;
  scroller_.press(p);
  pressed_ = hovered_ = hit_test(p.y - view_.top + scroller_.resting_offset());
  return true;
}

bool ScrollView::stylus_move(Point p) {
  if (!pressing_) return false;
  scroller_.follow(p);
  hovered_ = hit_test(p.y - view_.top + scroller_.resting_offset());
  if (hovered_ != pressed_) dragged_ = true;
  if (dragged_) paint();
  return true;
}

bool ScrollView::stylus_up(Point p) {
  if (!pressing_) return false;
  pressing_ = false;
  if (dragged_) {
    scroller_.release(p);
  } else {
    scroller_.cancel();
    tapped(pressed_, p.x - scroller_.down_point().x, p);
  }
  return true;
}

void ScrollView::relayout() {
  scroller_.set_extent(layout_content(), view_.height());
  paint();
}

void ScrollView::paint() {
  gfx::PixelCanvas c = surface_.lock();
  if (!c.valid()) return;
  if (background_ && background_->created()) {
    gfx::PixelCanvas bg = background_->lock();
    const int sx = view_.left - background_origin_.x, sy = view_.top - background_origin_.y;
    c.copy_from(bg, {sx, sy, sx + view_.width(), sy + view_.height()}, 0, 0);
  } else {
    if (!backdrop_taken_) {
      backdrop_.refresh({view_.left, view_.top, view_.right, view_.bottom});
      backdrop_taken_ = true;
    }
    backdrop_.draw(c);
  }
  draw_content(c, scroller_.offset());
  // Above the soft input panel only, when it is up (the display keeps the
  // panel's rows for it as well).
  const int panel = sip_shown() == 1 ? sip_top_edge() : view_.bottom;
  if (panel <= view_.top) return;
  surface_.present(view_.left, view_.top);
}

}  // namespace tavrin::controls
