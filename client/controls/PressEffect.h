// The button-press effect: a short ripple at the tapped point. A 100 x 100
// square centred on the point (kept on the 480 x 800 screen) is saved, a
// white disc of radius 10 and a growing soft disc in AnimationBkColor are
// drawn over it with the alpha falling by 30 a frame from AnimationBgAlpha,
// frames 15 ms apart, and after a 60 ms pause the square is put back.
// play() draws the first frame and returns; the others come from timers on
// the UI thread, so what the tap does starts at once. Whatever else draws
// over the square meanwhile (the screen the tap opened) ends the effect
// where it stands, and a new effect first puts back the one before it.
// UI thread; presents as `window`.
#pragma once

#include "gfx/Rect.h"
#include "platform/messages.h"

namespace tavrin::controls {

class PressEffect {
 public:
  // style 1 leaves out the white centre. clip (screen coordinates), when
  // given, keeps the effect inside it.
  static void play(platform::WindowId window, int x, int y, int style = 0,
                   const gfx::Rect* clip = nullptr);
  // How many effects have run; for tests.
  static int played() { return played_; }
  // Whether an effect is still on the screen; for tests.
  static bool running();

 private:
  static inline int played_ = 0;  // UI thread
};

}  // namespace tavrin::controls
