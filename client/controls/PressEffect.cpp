#include "controls/PressEffect.h"

#include <algorithm>
#include <memory>

#include "controls/AnimationClock.h"
#include "gfx/CSurface.h"
#include "gfx/Primitives.h"
#include "platform/display.h"
#include "platform/window_system.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {
namespace {

constexpr int kFrameMs = 15, kHoldMs = 60;

// One ripple in flight: what lies under the square, and what the display
// showed right after our last frame. A pixel where the two differ is the
// ripple's; every other pixel belongs to the windows below.
struct Ripple {
  platform::WindowId window = 0;
  gfx::Rect square;
  gfx::CSurface under, work, shown, now;
  int cx = 0, cy = 0, style = 0, alpha = 0, radius = 10;
  bool done = false;

  // Whether the ripple's pixels are still on the display (anything drawn
  // over them since, the screen the tap opened, stays); meanwhile the
  // other pixels of the square are taken as they are now, so a frame
  // never puts back something stale.
  bool still_ours() {
    if (!now.grab(square.left, square.top)) return false;
    const gfx::PixelCanvas cur = now.lock(), was = shown.lock(), below = under.lock();
    for (int y = 0; y < cur.height; ++y)
      for (int x = 0; x < cur.width; ++x)
        if (was.at(x, y) != below.at(x, y) && cur.at(x, y) != was.at(x, y)) return false;
    for (int y = 0; y < cur.height; ++y)
      for (int x = 0; x < cur.width; ++x)
        if (was.at(x, y) == below.at(x, y)) below.row(y)[x] = cur.at(x, y);
    return true;
  }
  void draw_frame() {
    const auto& theme = shell::theme_colors();
    gfx::PixelCanvas from = under.lock(), to = work.lock();
    to.copy_from(from, from.bounds(), 0, 0);
    gfx::draw_soft_disc(to, cx, cy, radius, theme.animation_bk_color, alpha);
    if (style != 1) gfx::draw_disc(to, cx, cy, 10, 0xFFFFFF, alpha);
    work.present(square.left, square.top);
    shown.grab(square.left, square.top);
    alpha -= 30;
    radius += 4;
  }
  // Puts the square back when the ripple is still there, and ends.
  void finish() {
    if (done) return;
    done = true;
    auto* ws = platform::WindowSystem::instance();
    if (ws && ws->exists(window) && still_ours()) under.present(square.left, square.top);
  }
};

std::shared_ptr<Ripple> g_current;  // UI thread

void step(const std::shared_ptr<Ripple>& r) {
  if (r->done) return;
  auto* ws = platform::WindowSystem::instance();
  if (!ws || !ws->exists(r->window) || !r->still_ours()) {
    r->done = true;
  } else if (r->alpha > 0) {
    r->draw_frame();
    after_frame(r->alpha > 0 ? kFrameMs : kFrameMs + kHoldMs, [r] { step(r); });
    return;
  } else {
    r->finish();
  }
  if (g_current == r) g_current.reset();
}

}  // namespace

bool PressEffect::running() {
  return g_current != nullptr;
}

void PressEffect::play(platform::WindowId window, int x, int y, int style, const gfx::Rect* clip) {
  ++played_;
  if (g_current) {
    g_current->finish();
    g_current.reset();
  }
  constexpr int kSize = 100;
  using platform::Display;
  gfx::Rect square{x - kSize / 2, y - kSize / 2, x + kSize / 2, y + kSize / 2};
  const int dx = std::max(0, -square.left) - std::max(0, square.right - Display::kWidth);
  const int dy = std::max(0, -square.top) - std::max(0, square.bottom - Display::kHeight);
  square = {square.left + dx, square.top + dy, square.right + dx, square.bottom + dy};
  if (clip) square = square.intersect(*clip);
  if (square.empty()) return;
  auto r = std::make_shared<Ripple>();
  r->window = window;
  r->square = square;
  for (gfx::CSurface* s : {&r->under, &r->work, &r->shown, &r->now})
    if (!s->create(window, square.width(), square.height())) return;
  r->under.grab(square.left, square.top);
  r->cx = x - square.left;
  r->cy = y - square.top;
  r->style = style;
  r->alpha = shell::theme_colors().animation_bg_alpha;
  if (r->alpha <= 0) return;
  g_current = r;
  r->draw_frame();
  after_frame(r->alpha > 0 ? kFrameMs : kFrameMs + kHoldMs, [r] { step(r); });
}

}  // namespace tavrin::controls
