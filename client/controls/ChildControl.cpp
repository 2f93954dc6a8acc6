#include "controls/ChildControl.h"

namespace tavrin::controls {

using namespace platform;

bool ChildControl::create_window(WindowId parent, Rect rect, std::string class_name) {
  destroy();
  auto* ws = windows();
  if (!ws) return false;
  rect_ = rect;
  WindowSpec spec;
  spec.parent = parent;
  spec.rect = rect;
  spec.class_name = std::move(class_name);
  spec.handler = [this](const Message& m) { return dispatch(m); };
  window_ = ws->create(std::move(spec));
  if (!window_) return false;
  // Without a display the control still works; it only does not draw.
  (void)surface_.create(window_, rect.width(), rect.height());
  return true;
}

void ChildControl::destroy() {
  if (!window_) return;
  const WindowId w = window_;
  window_ = 0;
  focused_ = false;
  surface_.free();
  backdrop_.clear();
  if (auto* ws = windows(); ws && ws->exists(w)) {
    ws->set_handler(w, nullptr);
    ws->destroy(w);
  }
}

void ChildControl::repaint() {
  auto* ws = windows();
  if (!window_ || !ws || !ws->visible(window_)) return;
  paint();
}

intptr_t ChildControl::dispatch(const Message& m) {
  switch (m.id) {
    case msg::kPaint:
      if (auto* ws = windows()) backdrop_.refresh(ws->screen_rect(window_));
      paint();
      return 0;
    case msg::kSetFocus:
    case msg::kKillFocus:
      focused_ = m.id == msg::kSetFocus;
      composition_.clear();
      break;
    case msg::kComposition:
      if (const auto* text = reinterpret_cast<const std::u16string*>(m.lparam)) {
        composition_ = *text;
        composition_cursor_ = std::min(size_t(m.wparam), composition_.size());
        repaint();
      }
      return 1;
    default:
      break;
  }
  return on_message(m);
}

std::u16string ChildControl::composition_shown(bool hidden) const {
  return hidden ? std::u16string(composition_.size(), u'*') : composition_;
}

void ChildControl::paint_composition_box(gfx::Painter& p, const Rect& box, uint32_t text_colour,
                                         uint32_t background) {
  p.fill_rect(box, background, 255);
  p.hline(box.bottom - 1, box.left, box.right, text_colour, 255);
}

void ChildControl::paint_caret(gfx::Painter& p, Point at, int height, int right,
                               uint32_t text_colour) {
  if (auto* ws = windows(); ws && focused_) {
    const Rect screen = ws->screen_rect(window_);
    ws->set_text_input_rect(
        Rect{at.x, at.y, at.x + 1, at.y + height}.offset(screen.left, screen.top));
  }
  if (at.x < right) p.vline(at.x, at.y, at.y + height, text_colour, 255);
}

void ChildControl::paint() {
  auto* ws = windows();
  gfx::PixelCanvas c = surface_.lock();
  if (!c.valid() || !ws) return;
  backdrop_.draw(c);
  gfx::Painter painter(c);
  on_paint(painter);
  const Rect screen = ws->screen_rect(window_);
  surface_.present(screen.left, screen.top);
  backdrop_.presented(c);
}

}  // namespace tavrin::controls
