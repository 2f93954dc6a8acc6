#include "controls/CInputBox.h"

#include "controls/BoxPainter.h"
#include "controls/ShellBars.h"
#include "platform/display.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

using namespace platform;

int CInputBox::run_modal() {
  auto* ws = WindowSystem::instance();
  if (!ws) return 0;
  destroy();
  WindowSpec spec;
  spec.owner = owner_;
  spec.rect = {0, 0, Display::kWidth, Display::kHeight};
  spec.class_name = "CInputBox";
  spec.topmost = true;
  spec.visible = false;
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = ws->create(std::move(spec));
  if (!window_) return 0;
  if (behind_.create(window_, Display::kWidth, Display::kHeight)) behind_.grab(0, 0);
  (void)surface_.create(window_, Display::kWidth, Display::kHeight);
  edit_.create(window_, {kEditRect.left, kEditRect.top, kEditRect.right, kEditRect.bottom},
               kMaxLength);
  edit_.set_text(text_);
  hide_shell_bars();
  const int code = ws->run_modal(window_);
  show_shell_bars();
  if (code == 1) text_ = edit_.text();
  destroy();
  return code == 1 ? 1 : 0;
}

void CInputBox::destroy() {
  edit_.destroy();
  if (!window_) return;
  const WindowId w = window_;
  window_ = 0;
  behind_.free();
  surface_.free();
  if (auto* ws = WindowSystem::instance()) ws->destroy(w);
}

intptr_t CInputBox::handle(const Message& m) {
  auto* ws = WindowSystem::instance();
  switch (m.id) {
    case msg::kPaint:
      paint();
      return 0;
    case msg::kStylusUp: {
      const Point p{lparam_x(m.lparam), lparam_y(m.lparam)};
      if (inside_rect(kOk, p)) ws->end_modal(window_, 1);
      if (inside_rect(kCancel, p)) ws->end_modal(window_, 0);
      return 0;
    }
    default:
      return 0;
  }
}

void CInputBox::paint() {
  gfx::PixelCanvas c = surface_.lock();
  if (!c.valid()) return;
  const auto& theme = shell::theme_colors();
  draw_box_backdrop(c, behind_);
  draw_text(c, prompt_, {60, 160, 420, 210}, 30, theme.msg_box_text_color,
            text::kLeft | text::kVCenter | text::kSingleLine);
  draw_button(c, kOk, u"确定", theme.btn_bk_color, theme.btn_bg_alpha, theme.msg_box_text_color);
  draw_button(c, kCancel, u"取消", theme.btn_bk_color, theme.btn_bg_alpha,
              theme.msg_box_text_color);
  surface_.present(0, 0);
}

}  // namespace tavrin::controls
