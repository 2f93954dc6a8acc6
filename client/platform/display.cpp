// Frame composition for the display; see display.h.
#include "platform/display.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/image.h"
#include "platform/window_system.h"

namespace tavrin::platform {
namespace {
std::atomic<Display*> g_display{nullptr};
}

Display::Display(WindowSystem& windows) : windows_(windows), frame_(size_t(kWidth) * kHeight, 0) {
  g_display.store(this);
}

Display::~Display() {
  Display* self = this;
  g_display.compare_exchange_strong(self, nullptr);
}

Display* Display::instance() {
  return g_display.load();
}

Display::Layer Display::layer_of(WindowId window) const {
  WindowId top = window;
  while (WindowId p = windows_.parent(top)) top = p;
  const std::string cls = windows_.class_name(top);
  if (cls == "HHTaskBar") return Layer::kTaskBar;
  if (cls == "SipWndClass") return Layer::kPanel;
  return Layer::kWindow;
}

void Display::present(WindowId window, int x, int y, const uint16_t* pixels, int width, int height,
                      int stride) {
  if (!pixels || width <= 0 || height <= 0) return;
  // A window draws above the panel and below it (the soft-key bar).
  Rect allowed[2] = {{0, 0, kWidth, kHeight}, {}};
  switch (layer_of(window)) {
    case Layer::kTaskBar:
      allowed[0].bottom = task_bar_rows_;
      break;
    case Layer::kPanel:
      allowed[0] = {0, panel_top_, kWidth, panel_bottom_};
      break;
    case Layer::kWindow:
      allowed[0] = {0, task_bar_rows_, kWidth, panel_top_};
      allowed[1] = {0, std::max(panel_bottom_, task_bar_rows_), kWidth, kHeight};
      break;
  }
  bool drawn = false;
  for (const Rect& part : allowed) {
    const Rect dst = Rect::from_size(x, y, width, height).intersect(part);
    if (dst.empty()) continue;
    drawn = true;
    for (int row = dst.top; row < dst.bottom; ++row) {
      const uint16_t* src = pixels + size_t(row - y) * size_t(stride) + size_t(dst.left - x);
      std::memcpy(&frame_[size_t(row) * kWidth + size_t(dst.left)], src,
                  size_t(dst.width()) * sizeof(uint16_t));
    }
  }
  if (drawn) flush();
}

void Display::read(Rect area, uint16_t* out, int stride) const {
  for (int row = area.top; row < area.bottom; ++row)
    for (int col = area.left; col < area.right; ++col) {
      const bool inside = row >= 0 && row < kHeight && col >= 0 && col < kWidth;
      out[size_t(row - area.top) * size_t(stride) + size_t(col - area.left)] =
          inside ? frame_[size_t(row) * kWidth + size_t(col)] : 0;
    }
}

void Display::fill(Rect area, uint16_t colour) {
  const Rect r = area.intersect({0, 0, kWidth, kHeight});
  for (int row = r.top; row < r.bottom; ++row)
    std::fill_n(&frame_[size_t(row) * kWidth + size_t(r.left)], r.width(), colour);
  flush();
}

bool Display::save_png(const std::string& path) const {
  return save_png_rgb565(path, frame_.data(), kWidth, kHeight, kWidth);
}

void Display::set_task_bar_rows(int rows) {
  task_bar_rows_ = std::clamp(rows, 0, kHeight);
}
void Display::set_panel_rows(int top, int bottom) {
  panel_top_ = std::clamp(top, 0, kHeight);
  panel_bottom_ = std::clamp(bottom, panel_top_, kHeight);
}

void Display::flush() {
  ++presents_;
  if (sink_) sink_->show_frame(frame_.data(), kWidth, kHeight);
}

}  // namespace tavrin::platform
