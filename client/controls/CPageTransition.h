// CPageTransition: the animation between two pages of a full-screen
// window. Style 7 (used whenever a screen opened from the main window
// closes) squeezes the old picture towards the centre and grows the new
// page out of it. Styles 4, 8 and 9 slide the new page in from the right,
// the left and the bottom; 18 fades it in; 19 and 20 wipe it in from the
// top and the left; 21 opens it from the centre; any other style shows the
// new page at once. Synchronous on the UI thread; presents as the window.
#pragma once

#include "gfx/CSurface.h"
#include "platform/messages.h"

namespace tavrin::controls {

class CPageTransition {
 public:
  static constexpr int kFrameMs = 15;

  bool create(int style);
  // The old picture is what the display shows at the window now; the new
  // page is `target` (not owned; it must live until run() returns).
  bool prepare(platform::WindowId window, int width, int height, gfx::CSurface* target);
  void run();
  void free();
  // How many frames the last run presented; for tests.
  int frames() const { return frames_; }

 private:
  void present_frame();

  int style_ = 7;
  platform::WindowId window_ = 0;
  int x_ = 0, y_ = 0;
  gfx::CSurface old_, work_;
  gfx::CSurface* target_ = nullptr;
  int frames_ = 0;
};

}  // namespace tavrin::controls
