// An off-screen RGB565 surface the size of a window: a screen locks it,
// paints with the primitives, images and bitmap text, unlocks, draws platform
// text through the device context, and presents the finished frame to the
// display in one copy, so the display never shows a half-drawn frame.
//
// The surface owns its pixels; the display belongs to the platform and must
// outlive every surface created on it. Surfaces on one process share the
// display's primary surface; live_count() is how many hold it. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/DeviceContext.h"
#include "gfx/Display.h"
#include "gfx/PixelCanvas.h"

namespace tavrin::gfx {

class CSurface {
 public:
  CSurface() = default;
  ~CSurface() { free(); }
  CSurface(const CSurface&) = delete;
  CSurface& operator=(const CSurface&) = delete;

  // Frees any previous surface, then makes a width x height one for the
  // window; false (and nothing kept) for a null window, a window without a
  // display, or a zero or negative size.
  [[nodiscard]] bool create(SurfaceHost* window, int width, int height);
  void free();

  // The pixels to paint; an empty canvas when the surface was not created.
  PixelCanvas lock();
  void unlock() {}

  // Zero-fills the primary (0) or the off-screen (1) surface.
  void clear(int which);

  // Platform text and image drawing on the off-screen surface.
  DeviceContext get_dc();
  void release_dc(DeviceContext&) {}

  // Restores a lost primary surface, then copies the whole surface to the
  // display at (x, y), clipped to the display and the window's clip area.
  bool present(int x, int y);

  // Copies the display area at (x, y) of the surface's size into the
  // surface (what a window saves before drawing over the screen).
  bool grab(int x, int y);

  int width() const { return width_; }
  int height() const { return height_; }
  bool created() const { return window_ != nullptr; }

  static int live_count() { return live_; }

 private:
  SurfaceHost* window_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint16_t> pixels_;
  static inline int live_ = 0;  // surfaces holding the primary; UI thread only
};

}  // namespace tavrin::gfx
