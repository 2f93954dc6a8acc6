#include "shell/task_bar_icon.h"

#include <vector>

#include "gfx/ScaledImage.h"
#include "platform/display.h"
#include "platform/window_system.h"

namespace tavrin::shell {

using namespace platform;

TaskBarIcon::TaskBarIcon(WindowSystem& windows, Display& display, const std::string& image_path,
                         std::function<void()> on_tap)
    : windows_(windows),
      display_(display),
      image_(decode_png_file(image_path)),
      on_tap_(std::move(on_tap)) {
  const WindowId bar = windows_.find_window("HHTaskBar", {});
  if (!bar) return;
  WindowSpec spec;
  spec.parent = bar;
  spec.rect = Rect::from_size(130, 3, kSize, kSize);
  spec.class_name = "iTavrin_Class";
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = windows_.create(std::move(spec));
}

TaskBarIcon::~TaskBarIcon() {
  windows_.destroy(window_);
}

intptr_t TaskBarIcon::handle(const Message& m) {
  switch (m.id) {
    case msg::kPaint:
      paint();
      return 0;
    case msg::kStylusUp:
      if (on_tap_) on_tap_();
      return 0;
    default:
      return 0;  // showing and hiding are the window system's own
  }
}

void TaskBarIcon::paint() {
  std::vector<uint16_t> px(kSize * kSize);
  // The bar's pixels beside the icon, so that the icon sits on the bar's
  // own background.
  display_.read(Rect::from_size(270, 3, kSize, kSize), px.data(), kSize);
  gfx::PixelCanvas canvas{kSize, kSize, px.data()};
  if (image_) gfx::draw_scaled(canvas, *image_, {3, 2, 29, 31});
  const Rect r = windows_.screen_rect(window_);
  display_.present(window_, r.left, r.top, px.data(), kSize, kSize, kSize);
}

}  // namespace tavrin::shell
