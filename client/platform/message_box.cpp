#include "platform/message_box.h"

#include <algorithm>
#include <vector>

#include "platform/display.h"
#include "platform/font.h"
#include "platform/window_system.h"

namespace tavrin::platform {
namespace {

void fill(PixelBuffer565& b, Rect r, uint16_t c) {
  r = r.intersect({0, 0, b.width, b.height});
  for (int y = r.top; y < r.bottom; ++y)
    std::fill_n(b.pixels + size_t(y) * size_t(b.stride) + size_t(r.left), r.width(), c);
}

}  // namespace

int message_box(WindowSystem& windows, Display& display, WindowId owner, const std::u16string& text,
                const std::u16string& caption) {
  namespace L = message_box_layout;
  const Rect frame{L::kLeft, L::kTop, L::kRight, L::kBottom};
  const Rect button = Rect{L::kButtonLeft, L::kButtonTop, L::kButtonRight, L::kButtonBottom}.offset(
      -L::kLeft, -L::kTop);
  WindowId self = 0;
  bool pressed = false;
  WindowSpec spec;
  spec.owner = owner;
  spec.rect = frame;
  spec.title = caption;
  spec.class_name = "Dialog";
  spec.visible = false;
  spec.handler = [&](const Message& m) -> intptr_t {
    switch (m.id) {
      case msg::kPaint: {
        const int w = frame.width(), h = frame.height();
        std::vector<uint16_t> px(size_t(w) * size_t(h));
        PixelBuffer565 buf{px.data(), w, h, w};
        fill(buf, {0, 0, w, h}, bgr_to_565(0x404040));
        fill(buf, {2, 2, w - 2, h - 2}, bgr_to_565(0xF0F0F0));
        fill(buf, {2, 2, w - 2, 50}, bgr_to_565(0x8A5A2A));
        fill(buf, button, bgr_to_565(pressed ? 0x6A4A2A : 0x8A5A2A));
        if (auto title_font = Font::make(u"黑体", 26)) {
          title_font->draw(buf, caption, {12, 2, w - 12, 50}, 0xFFFFFF,
                           text::kSingleLine | text::kVCenter);
          title_font->draw(buf, u"OK", button, 0xFFFFFF,
                           text::kSingleLine | text::kVCenter | text::kCenter);
        }
        if (auto body = Font::make(u"黑体", 24))
          body->draw(buf, text, {16, 64, w - 16, button.top - 8}, 0x000000, text::kWordBreak);
        display.present(self, frame.left, frame.top, px.data(), w, h, w);
        return 0;
      }
      case msg::kStylusDown:
        pressed = button.contains({lparam_x(m.lparam), lparam_y(m.lparam)});
        if (pressed) windows.set_capture(self);
        windows.invalidate(self);
        return 0;
      case msg::kStylusUp:
        windows.release_capture();
        if (pressed && button.contains({lparam_x(m.lparam), lparam_y(m.lparam)}))
          windows.end_modal(self, 1);
        pressed = false;
        windows.invalidate(self);
        return 0;
      case msg::kKeyDown:
        if (m.wparam == key::kReturn) windows.end_modal(self, 1);
        return 0;
      default:
        return 0;
    }
  };
  self = windows.create(std::move(spec));
  const int code = windows.run_modal(self);
  windows.destroy(self);
  return code == 1 ? 1 : 0;
}

}  // namespace tavrin::platform
