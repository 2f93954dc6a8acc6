#include "controls/CPageTransition.h"

#include <algorithm>
#include <cstring>

#include "controls/AnimationClock.h"
#include "gfx/Primitives.h"
#include "platform/window_system.h"

namespace tavrin::controls {

namespace {

// Stretches src into columns [left, right) of dst (nearest pixel), black elsewhere.
void squeeze(gfx::PixelCanvas& dst, const gfx::PixelCanvas& src, int left, int right) {
  dst.fill_zero();
  const int w = right - left;
  if (w <= 0) return;
  for (int y = 0; y < std::min(dst.height, src.height); ++y) {
    uint16_t* out = dst.row(y);
    const uint16_t* in = src.row(y);
    for (int x = std::max(0, left); x < std::min(right, dst.width); ++x)
      out[x] = in[std::min(src.width - 1, (x - left) * src.width / w)];
  }
}

// Copies src to dst shifted by (dx, dy); what falls outside src shows old.
void shifted(gfx::PixelCanvas& dst, const gfx::PixelCanvas& old, const gfx::PixelCanvas& src,
             int dx, int dy) {
  dst.copy_from(old, old.bounds(), 0, 0);
  dst.copy_from(src, src.bounds(), dx, dy);
}

}  // namespace

bool CPageTransition::create(int style) {
  style_ = style;
  return true;
}

bool CPageTransition::prepare(platform::WindowId window, int width, int height,
                              gfx::CSurface* target) {
  free();
  auto* ws = platform::WindowSystem::instance();
  if (!ws || !target || !target->created()) return false;
  window_ = window;
  const platform::Rect r = ws->screen_rect(window);
  x_ = r.left;
  y_ = r.top;
  target_ = target;
  if (!old_.create(window, width, height) || !work_.create(window, width, height)) {
    free();
    return false;
  }
  old_.grab(x_, y_);
  return true;
}

void CPageTransition::present_frame() {
  work_.present(x_, y_);
  ++frames_;
  wait_frame(kFrameMs);
}

void CPageTransition::run() {
  frames_ = 0;
  if (!target_ || !work_.created()) return;
  gfx::PixelCanvas old = old_.lock(), page = target_->lock(), work = work_.lock();
  const int w = work.width, h = work.height;
  switch (style_) {
    case 7:
      for (int inset = 60; inset <= 210; inset += 30) {
        squeeze(work, old, inset, w - inset);
        present_frame();
      }
      for (int inset = 240; inset >= 30; inset -= 30) {
        squeeze(work, page, inset, w - inset);
        present_frame();
      }
      break;
    case 4:
    case 8:
      for (int i = 1; i < 8; ++i) {
        const int dx = (style_ == 4 ? 1 : -1) * w * (8 - i) / 8;
        shifted(work, old, page, dx, 0);
        present_frame();
      }
      break;
    case 9:
      for (int i = 1; i < 8; ++i) {
        shifted(work, old, page, 0, h * (8 - i) / 8);
        present_frame();
      }
      break;
    case 18:
      for (int alpha = 32; alpha < 255; alpha += 32) {
        work.copy_from(old, old.bounds(), 0, 0);
        for (int y = 0; y < std::min(h, page.height); ++y)
          for (int x = 0; x < std::min(w, page.width); ++x)
            work.row(y)[x] = gfx::blend565(work.row(y)[x], page.row(y)[x], alpha);
        present_frame();
      }
      break;
    case 19:
    case 20:
      for (int i = 1; i < 8; ++i) {
        work.copy_from(old, old.bounds(), 0, 0);
        const gfx::Rect part =
            style_ == 19 ? gfx::Rect{0, 0, w, h * i / 8} : gfx::Rect{0, 0, w * i / 8, h};
        work.copy_from(page, part, 0, 0);
        present_frame();
      }
      break;
    case 21:
      for (int i = 1; i < 8; ++i) {
        work.copy_from(old, old.bounds(), 0, 0);
        const int ix = w * (8 - i) / 16, iy = h * (8 - i) / 16;
        work.copy_from(page, {ix, iy, w - ix, h - iy}, ix, iy);
        present_frame();
      }
      break;
    default:
      break;
  }
  // The new page, whole.
  work.copy_from(page, page.bounds(), 0, 0);
  work_.present(x_, y_);
  ++frames_;
}

void CPageTransition::free() {
  old_.free();
  work_.free();
  target_ = nullptr;
}

}  // namespace tavrin::controls
