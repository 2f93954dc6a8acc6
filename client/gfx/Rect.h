// The drawing engine uses the client's one geometry (platform/geometry.h):
// half-open rectangles, left <= x < right, top <= y < bottom.
#pragma once

#include "platform/geometry.h"

namespace tavrin::gfx {

using Point = platform::Point;
using Rect = platform::Rect;

}  // namespace tavrin::gfx
