// Rectangles in pixels, half-open: left <= x < right, top <= y < bottom,
// the way every screen writes its drawing and hit rectangles.
#pragma once

#include <algorithm>

namespace tavrin::gfx {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  Rect inset(int d) const { return {left + d, top + d, right - d, bottom - d}; }
  Rect intersect(const Rect& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
            std::min(bottom, o.bottom)};
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace tavrin::gfx
