// The soft input panel; see input_panel.h.
#include "platform/input_panel.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/display.h"
#include "platform/font.h"
#include "platform/window_system.h"

namespace tavrin::platform {
namespace {
std::atomic<InputPanel*> g_panel{nullptr};

void fill(PixelBuffer565& b, Rect r, uint16_t c) {
  r = r.intersect({0, 0, b.width, b.height});
  for (int y = r.top; y < r.bottom; ++y)
    std::fill_n(b.pixels + size_t(y) * size_t(b.stride) + size_t(r.left), r.width(), c);
}
}  // namespace

InputPanel::InputPanel(WindowSystem& windows, Display& display)
    : windows_(windows), display_(display) {
  WindowSpec spec;
  spec.rect = Rect::from_size(0, kTop, Display::kWidth, kHeight);
  spec.class_name = "SipWndClass";
  spec.topmost = true;
  spec.visible = false;
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = windows_.create(std::move(spec));
  g_panel.store(this);
}

InputPanel::~InputPanel() {
  InputPanel* self = this;
  g_panel.compare_exchange_strong(self, nullptr);
  display_.set_panel_top(Display::kHeight);
  windows_.destroy(window_);
}

InputPanel* InputPanel::instance() {
  return g_panel.load();
}

bool InputPanel::show(bool shown_now) {
  windows_.show(window_, shown_now);
  return shown() == shown_now;
}

bool InputPanel::shown() const {
  return windows_.visible(window_);
}

int InputPanel::top_edge() const {
  return shown() ? windows_.screen_rect(window_).top : Display::kHeight;
}

intptr_t InputPanel::handle(const Message& m) {
  switch (m.id) {
    case msg::kShowWindow:
      if (m.wparam)
        display_.set_panel_rows(kTop, kBottom);
      else
        display_.set_panel_top(Display::kHeight);
      // What the panel covered, or now frees, is drawn again.
      windows_.invalidate_all();
      return 0;
    case msg::kPaint:
      paint();
      return 0;
    default:
      return 0;  // taps on the plate are swallowed
  }
}

void InputPanel::paint() {
  std::vector<uint16_t> pixels(size_t(Display::kWidth) * kHeight);
  PixelBuffer565 buf{pixels.data(), Display::kWidth, kHeight, Display::kWidth};
  fill(buf, {0, 0, Display::kWidth, kHeight}, bgr_to_565(0x504840));
  // Four rows of key caps, so the plate reads as a keyboard.
  const int rows = 4, top = 40, key_h = (kHeight - top - 8) / rows;
  const int counts[rows] = {10, 9, 9, 5};
  for (int r = 0; r < rows; ++r) {
    const int n = counts[r];
    const int key_w = Display::kWidth / 10;
    const int left = (Display::kWidth - n * key_w) / 2;
    for (int k = 0; k < n; ++k) {
      const Rect cap =
          Rect::from_size(left + k * key_w + 3, top + r * key_h + 3, key_w - 6, key_h - 6);
      fill(buf, cap, bgr_to_565(0x908478));
    }
  }
  if (auto font = Font::make(u"黑体", 24))
    font->draw(buf, u"输入面板", {0, 4, Display::kWidth, 36}, 0xFFFFFF,
               text::kSingleLine | text::kVCenter | text::kCenter);
  display_.present(window_, 0, kTop, pixels.data(), Display::kWidth, kHeight, Display::kWidth);
}

}  // namespace tavrin::platform
