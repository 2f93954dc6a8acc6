// An off-screen RGB565 surface the size of a window: a screen locks it,
// paints with the primitives, images and bitmap text, unlocks, draws
// platform text through the device context, and presents the finished
// frame to the display in one copy, so the display never shows a
// half-drawn frame.
//
// The surface owns its pixels. The display is the process's one
// platform::Display, which must exist while surfaces are created and
// presented; live_count() is how many surfaces share it. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/DeviceContext.h"
#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "platform/messages.h"

namespace tavrin::gfx {

class CSurface {
 public:
  CSurface() = default;
  ~CSurface() { free(); }
  CSurface(const CSurface&) = delete;
  CSurface& operator=(const CSurface&) = delete;

  // Frees any previous surface, then makes a width x height one for the
  // window; false (and nothing kept) for no window, no display, or a zero
  // or negative size.
  [[nodiscard]] bool create(platform::WindowId window, int width, int height);
  void free();

  // The pixels to paint; an empty canvas when the surface was not created.
  PixelCanvas lock();
  void unlock() {}

  // Zero-fills the primary (0) or the off-screen (1) surface.
  void clear(int which);

  // Platform text and image drawing on the off-screen surface.
  DeviceContext get_dc() { return DeviceContext(lock()); }
  void release_dc(DeviceContext&) {}

  // Copies the whole surface to the display at (x, y) in one step, clipped
  // to the display and to the rows the window may draw on.
  bool present(int x, int y);
  // Copies only the area (surface coordinates) of a surface shown at (x, y).
  bool present_area(const Rect& area, int x, int y);

  // Copies the display area at (x, y) of the surface's size into the
  // surface (what a window saves before drawing over the screen).
  bool grab(int x, int y);

  int width() const { return width_; }
  int height() const { return height_; }
  bool created() const { return window_ != 0; }

  static int live_count() { return live_; }

 private:
  platform::WindowId window_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint16_t> pixels_;
  static inline int live_ = 0;  // surfaces sharing the display; UI thread only
};

}  // namespace tavrin::gfx
