#include "controls/Backdrop.h"

#include <algorithm>
#include <cstring>

#include "platform/display.h"

namespace tavrin::controls {

void Backdrop::refresh(const platform::Rect& screen) {
  auto* d = platform::Display::instance();
  if (!d || screen.empty()) return;
  std::vector<uint16_t> now(size_t(screen.width()) * size_t(screen.height()));
  d->read(screen, now.data(), screen.width());
  if (now == last_ && !pixels_.empty() && width_ == screen.width()) return;
  pixels_ = std::move(now);
  width_ = screen.width();
  height_ = screen.height();
}

void Backdrop::draw(gfx::PixelCanvas& canvas) const {
  if (!canvas.valid()) return;
  if (pixels_.empty()) {
    canvas.fill_zero();
    return;
  }
  const int w = std::min(width_, canvas.width), h = std::min(height_, canvas.height);
  for (int y = 0; y < h; ++y)
    std::memcpy(canvas.row(y), pixels_.data() + size_t(y) * size_t(width_), size_t(w) * 2);
}

void Backdrop::presented(const gfx::PixelCanvas& canvas) {
  if (!canvas.valid()) return;
  last_.resize(size_t(canvas.width) * size_t(canvas.height));
  for (int y = 0; y < canvas.height; ++y)
    std::memcpy(last_.data() + size_t(y) * size_t(canvas.width), canvas.row(y),
                size_t(canvas.width) * sizeof(uint16_t));
}

}  // namespace tavrin::controls
