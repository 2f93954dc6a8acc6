// Points and rectangles in pixels, the one geometry of the whole client
// (windows, drawing, layout tables). A Rect is half-open: left <= x < right,
// top <= y < bottom, as the screens' drawing and hit rectangles are written.
#pragma once

#include <algorithm>

namespace tavrin::platform {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  static constexpr Rect from_size(int x, int y, int width, int height) {
    return {x, y, x + width, y + height};
  }
  constexpr int width() const { return right - left; }
  constexpr int height() const { return bottom - top; }
  constexpr bool empty() const { return right <= left || bottom <= top; }
  constexpr bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  constexpr Rect inset(int d) const { return {left + d, top + d, right - d, bottom - d}; }
  constexpr Point centre() const { return {(left + right) / 2, (top + bottom) / 2}; }
  constexpr Rect offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  constexpr Rect intersect(const Rect& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
            std::min(bottom, o.bottom)};
  }
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace tavrin::platform
