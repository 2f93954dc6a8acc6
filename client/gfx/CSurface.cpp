#include "gfx/CSurface.h"

#include <algorithm>

#include "platform/display.h"

namespace tavrin::gfx {

using platform::Display;

bool CSurface::create(platform::WindowId window, int width, int height) {
  free();
  if (window == 0 || !Display::instance() || width <= 0 || height <= 0) return false;
  pixels_.assign(size_t(width) * size_t(height), 0);
  window_ = window;
  width_ = width;
  height_ = height;
  ++live_;
  return true;
}

void CSurface::free() {
  if (!window_) return;
  window_ = 0;
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
  } else if (Display* d = Display::instance()) {
    d->fill({0, 0, Display::kWidth, Display::kHeight}, 0);
  }
}

bool CSurface::present(int x, int y) {
  Display* d = Display::instance();
  if (!window_ || !d) return false;
  d->present(window_, x, y, pixels_.data(), width_, height_, width_);
  return true;
}

bool CSurface::present_area(const Rect& area, int x, int y) {
  Display* d = Display::instance();
  const Rect r = area.intersect({0, 0, width_, height_});
  if (!window_ || !d || r.empty()) return false;
  d->present(window_, x + r.left, y + r.top,
             pixels_.data() + size_t(r.top) * size_t(width_) + r.left, r.width(), r.height(),
             width_);
  return true;
}

bool CSurface::grab(int x, int y) {
  Display* d = Display::instance();
  if (!window_ || !d) return false;
  d->read({x, y, x + width_, y + height_}, pixels_.data(), width_);
  return true;
}

}  // namespace tavrin::gfx
