#include "gfx/CSurface.h"

#include <algorithm>

namespace tavrin::gfx {

bool CSurface::create(SurfaceHost* window, int width, int height) {
  free();
  if (!window || !window->display() || width <= 0 || height <= 0) return false;
  pixels_.assign(size_t(width) * size_t(height), 0);
  window_ = window;
  width_ = width;
  height_ = height;
  ++live_;
  return true;
}

void CSurface::free() {
  if (!window_) return;
  window_ = nullptr;
  width_ = height_ = 0;
  pixels_.clear();
  pixels_.shrink_to_fit();
  --live_;
}

PixelCanvas CSurface::lock() {
  if (!window_) return {};
  return {height_, width_, pixels_.data()};
}

void CSurface::clear(int which) {
  if (!window_) return;
  if (which == 1) {
    std::fill(pixels_.begin(), pixels_.end(), 0);
    return;
  }
  Display* d = window_->display();
  PixelCanvas primary = d->lock_primary();
  primary.fill_zero();
  d->unlock_primary(primary.bounds());
}

DeviceContext CSurface::get_dc() {
  return DeviceContext(lock());
}

bool CSurface::present(int x, int y) {
  if (!window_) return false;
  Display* d = window_->display();
  if (!d->restore_if_lost()) return false;
  PixelCanvas primary = d->lock_primary();
  const Rect target = Rect{x, y, x + width_, y + height_}
                          .intersect(window_->clip_rect())
                          .intersect(primary.bounds());
  if (target.empty()) {
    d->unlock_primary({});
    return true;
  }
  const PixelCanvas self{height_, width_, pixels_.data()};
  primary.copy_from(self, {target.left - x, target.top - y, target.right - x, target.bottom - y},
                    target.left, target.top);
  d->unlock_primary(target);
  return true;
}

bool CSurface::grab(int x, int y) {
  if (!window_) return false;
  Display* d = window_->display();
  if (!d->restore_if_lost()) return false;
  PixelCanvas primary = d->lock_primary();
  PixelCanvas self{height_, width_, pixels_.data()};
  self.copy_from(primary, {x, y, x + width_, y + height_}, 0, 0);
  d->unlock_primary({});
  return true;
}

}  // namespace tavrin::gfx
