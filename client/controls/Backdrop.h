// What lies behind a control that draws over its parent's picture: taken
// from the display when the window system repaints the control (parents
// paint before their children, so the display then shows the parent), and
// kept for the control's own repaints between. A picture that is only the
// control's own last frame is not taken again, so old text never shows
// through new text. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/PixelCanvas.h"
#include "platform/geometry.h"

namespace tavrin::controls {

class Backdrop {
 public:
  // Reads the display area (screen coordinates) unless it holds exactly
  // the last frame remembered with presented().
  void refresh(const platform::Rect& screen);
  // Copies the backdrop into the canvas (black where none was taken).
  void draw(gfx::PixelCanvas& canvas) const;
  // Remembers the frame just presented.
  void presented(const gfx::PixelCanvas& canvas);
  void clear() { pixels_.clear(), last_.clear(); }

 private:
  std::vector<uint16_t> pixels_;
  std::vector<uint16_t> last_;
  int width_ = 0, height_ = 0;
};

}  // namespace tavrin::controls
