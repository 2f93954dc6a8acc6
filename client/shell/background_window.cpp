#include "shell/background_window.h"

#include <algorithm>
#include <vector>

#include "gfx/PictureCache.h"
#include "gfx/ScaledImage.h"
#include "platform/display.h"
#include "platform/window_system.h"
#include "shell/app_paths.h"
#include "shell/theme_colors.h"

namespace tavrin::shell {

using namespace platform;

BackgroundWindow::BackgroundWindow(WindowSystem& windows, Display& display,
                                   std::function<void()> on_bring_forward,
                                   std::function<void(bool)> on_activate)
    : windows_(windows),
      display_(display),
      on_bring_forward_(std::move(on_bring_forward)),
      on_activate_(std::move(on_activate)) {
  // The main background, else the general one; a plain fill without either.
  const ThemeColors& theme = theme_colors();
  for (const auto* p : {&theme.main_bk_path, &theme.bk_path}) {
    background_ =
        gfx::cached_picture(app_paths().resolve(*p).string(), Display::kWidth, Display::kHeight);
    if (background_) break;
  }
  WindowSpec spec;
  spec.rect = Rect::from_size(0, Display::kTaskBarHeight, Display::kWidth, Display::kHeight);
  spec.title = u"BriskTavrin";
  spec.class_name = "Dialog";
  spec.visible = false;
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = windows_.create(std::move(spec));
}

BackgroundWindow::~BackgroundWindow() {
  windows_.destroy(window_);
}

int BackgroundWindow::run_modal() {
  return windows_.run_modal(window_);
}

intptr_t BackgroundWindow::handle(const Message& m) {
  switch (m.id) {
    case msg::kPaint:
      paint();
      return 0;
    case msg::kBringForward:
      if (on_bring_forward_) on_bring_forward_();
      return 0;
    case msg::kActivate:
      if (on_activate_) on_activate_(m.wparam != 0);
      return 0;
    default:
      return 0;
  }
}

void BackgroundWindow::paint() {
  const int w = Display::kWidth, h = Display::kHeight;
  std::vector<uint16_t> px(size_t(w) * h, bgr_to_565(theme_colors().bg_color));
  gfx::PixelCanvas canvas{h, w, px.data()};
  if (background_) gfx::draw_scaled(canvas, *background_, {0, 0, w, h});
  const Rect r = windows_.screen_rect(window_);
  display_.present(window_, r.left, r.top, px.data(), w, h, w);
}

}  // namespace tavrin::shell
