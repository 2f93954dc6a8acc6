#include "mainwnd/notify_notice.h"

#include "controls/BoxPainter.h"
#include "controls/PressEffect.h"
#include "platform/display.h"
#include "platform/window_system.h"
#include "shell/theme_colors.h"

namespace tavrin::mainwnd {

using namespace platform;

bool CBriskMsgBox::show(std::u16string title, std::u16string text, int mode,
                        std::function<void()> on_view) {
  auto* ws = WindowSystem::instance();
  if (!ws || showing_ || (current_ && current_->showing_)) return false;
  title_ = std::move(title);
  text_ = std::move(text);
  mode_ = mode;
  on_view_ = std::move(on_view);
  current_ = this;
  showing_ = true;
  // Over the whole screen of the focused window: its top-level window, so
  // a focused edit field does not shrink the notice to its own size.
  WindowId parent = ws->focus() ? ws->focus() : ws->active();
  while (parent && ws->parent(parent)) parent = ws->parent(parent);
  WindowSpec spec;
  spec.parent = parent;
  spec.rect = parent
                  ? Rect{0, 0, Display::kWidth, Display::kHeight}
                  : Rect::from_size(0, Display::kTaskBarHeight, Display::kWidth, Display::kHeight);
  spec.topmost = parent == 0;
  spec.class_name = "BriskMsgBox";
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = ws->create(std::move(spec));
  if (window_) (void)surface_.create(window_, Display::kWidth, Display::kHeight);
  return true;
}

void CBriskMsgBox::close() {
  if (current_ == this) current_ = nullptr;
  showing_ = false;
  surface_.free();
  backdrop_.clear();
  if (!window_) return;
  const WindowId w = window_;
  window_ = 0;
  if (auto* ws = WindowSystem::instance()) ws->destroy(w);
}

intptr_t CBriskMsgBox::handle(const Message& m) {
  auto* ws = WindowSystem::instance();
  switch (m.id) {
    case msg::kPaint:
      backdrop_.refresh(ws->screen_rect(window_));
      paint();
      return 0;
    case msg::kStylusUp: {
      const Point p{lparam_x(m.lparam), lparam_y(m.lparam)};
      if (!kLeftButton.contains(p) && !kRightButton.contains(p)) return 0;
      const Rect screen = ws->screen_rect(window_);
      controls::PressEffect::play(window_, p.x + screen.left, p.y + screen.top);
      const std::function<void()> view = kLeftButton.contains(p) ? on_view_ : nullptr;
      close();
      if (view) view();
      return 0;
    }
    default:
      return 0;
  }
}

void CBriskMsgBox::paint() {
  auto* ws = WindowSystem::instance();
  gfx::PixelCanvas c = surface_.lock();
  if (!c.valid() || !ws) return;
  const auto& theme = shell::theme_colors();
  backdrop_.draw(c);
  gfx::Painter p(c);
  controls::draw_panel(p, {30, 110, 450, 410}, theme.btn_bk_color, theme.btn_bg_alpha);
  p.text(title_, {40, 130, 440, 175}, 30, 0xF7F7F7,
         text::kCenter | text::kVCenter | text::kSingleLine);
  p.text(text_, {50, 185, 430, 325}, 28, theme.btn_text_color, text::kCenter | text::kWordBreak);
  controls::draw_button(p, kLeftButton, u"查看", theme.btn_bk_color, 255, theme.btn_text_color);
  controls::draw_button(p, kRightButton, u"关闭", theme.btn_bk_color, 255, theme.btn_text_color);
  const Rect screen = ws->screen_rect(window_);
  surface_.present(screen.left, screen.top);
  backdrop_.presented(c);
}

}  // namespace tavrin::mainwnd
