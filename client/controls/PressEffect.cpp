#include "controls/PressEffect.h"

#include <algorithm>

#include "controls/AnimationClock.h"
#include "gfx/CSurface.h"
#include "gfx/Primitives.h"
#include "platform/display.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

void PressEffect::play(platform::WindowId window, int x, int y, int style, const gfx::Rect* clip) {
  ++played_;
  constexpr int kSize = 100;
  using platform::Display;
  gfx::Rect square{x - kSize / 2, y - kSize / 2, x + kSize / 2, y + kSize / 2};
  const int dx = std::max(0, -square.left) - std::max(0, square.right - Display::kWidth);
  const int dy = std::max(0, -square.top) - std::max(0, square.bottom - Display::kHeight);
  square = {square.left + dx, square.top + dy, square.right + dx, square.bottom + dy};
  if (clip) square = square.intersect(*clip);
  if (square.empty()) return;
  gfx::CSurface saved, work;
  if (!saved.create(window, square.width(), square.height()) ||
      !work.create(window, square.width(), square.height()))
    return;
  saved.grab(square.left, square.top);
  const auto& theme = shell::theme_colors();
  gfx::PixelCanvas from = saved.lock();
  gfx::PixelCanvas to = work.lock();
  const int cx = x - square.left, cy = y - square.top;
  int radius = 10;
  for (int alpha = theme.animation_bg_alpha; alpha > 0; alpha -= 30, radius += 4) {
    to.copy_from(from, from.bounds(), 0, 0);
    gfx::draw_soft_disc(to, cx, cy, radius, theme.animation_bk_color, alpha);
    if (style != 1) gfx::draw_disc(to, cx, cy, 10, 0xFFFFFF, alpha);
    work.present(square.left, square.top);
    wait_frame(15);
  }
  wait_frame(60);
  saved.present(square.left, square.top);
}

}  // namespace tavrin::controls
