// The seams between surfaces and the platform's display.
//
// Display: the primary (display) surface, one RGB565 frame buffer that
// surfaces are presented into. SurfaceHost: a window as a surface sees it,
// the display it lives on and the area it may paint (its clipper). The
// platform implements both; the drawing engine never sees how frames reach
// the screen. UI thread only.
#pragma once

#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"

namespace tavrin::gfx {

class Display {
 public:
  virtual ~Display() = default;
  // The frame buffer, valid until unlock_primary().
  virtual PixelCanvas lock_primary() = 0;
  // `changed` is the area written (empty when the lock only read).
  virtual void unlock_primary(const Rect& changed) = 0;
  // Brings back a frame buffer the backend lost; false when it cannot.
  virtual bool restore_if_lost() { return true; }
};

class SurfaceHost {
 public:
  virtual ~SurfaceHost() = default;
  virtual Display* display() = 0;
  // Display area (screen coordinates) that presents of this window may touch.
  virtual Rect clip_rect() const = 0;
};

}  // namespace tavrin::gfx
