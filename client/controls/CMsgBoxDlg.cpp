#include "controls/CMsgBoxDlg.h"

#include "controls/BoxPainter.h"
#include "controls/ShellBars.h"
#include "platform/display.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

using namespace platform;

void CMsgBoxDlg::create(WindowId owner, bool timed) {
  owner_ = owner;
  timed_ = timed;
  countdown_ = kCountdown;
}

int CMsgBoxDlg::show(WindowId owner, std::u16string text, std::u16string title, int type,
                     bool timed) {
  CMsgBoxDlg box;
  box.create(owner, timed);
  box.set_type(type);
  box.set_title(std::move(title));
  box.set_text(std::move(text));
  return box.run_modal();
}

int CMsgBoxDlg::run_modal() {
  auto* ws = WindowSystem::instance();
  if (!ws) return 0;
  destroy();
  WindowSpec spec;
  spec.owner = owner_;
  spec.rect = {0, 0, Display::kWidth, Display::kHeight};
  spec.class_name = "CMsgBoxDlg";
  spec.title = title_;
  spec.topmost = true;
  spec.visible = false;
  spec.handler = [this](const Message& m) { return handle(m); };
  window_ = ws->create(std::move(spec));
  if (!window_) return 0;
  if (behind_.create(window_, Display::kWidth, Display::kHeight)) behind_.grab(0, 0);
  (void)surface_.create(window_, Display::kWidth, Display::kHeight);
  hide_shell_bars();
  countdown_ = kCountdown;
  if (timed_) ws->set_timer(window_, kTimerId, 1000);
  const int code = ws->run_modal(window_);
  show_shell_bars();
  destroy();
  return code == 1 ? 1 : 0;
}

void CMsgBoxDlg::destroy() {
  if (!window_) return;
  const WindowId w = window_;
  window_ = 0;
  behind_.free();
  surface_.free();
  if (auto* ws = WindowSystem::instance()) ws->destroy(w);
}

intptr_t CMsgBoxDlg::handle(const Message& m) {
  auto* ws = WindowSystem::instance();
  switch (m.id) {
    case msg::kPaint:
      paint();
      return 0;
    case msg::kStylusUp: {
      const Point p{lparam_x(m.lparam), lparam_y(m.lparam)};
      if (type_ == kOneButton) {
        if (inside_rect(kOkOnly, p)) ws->end_modal(window_, 1);
      } else if (inside_rect(kOk, p)) {
        ws->end_modal(window_, 1);
      } else if (inside_rect(kCancel, p)) {
        ws->end_modal(window_, 0);
      }
      return 0;
    }
    case msg::kTimer:
      if (m.wparam == kTimerId && timed_ && countdown_ > 0 && --countdown_ == 0) {
        ws->kill_timer(window_, kTimerId);
        ws->end_modal(window_, 1);
      }
      return 0;
    default:
      return 0;
  }
}

void CMsgBoxDlg::paint() {
  gfx::PixelCanvas c = surface_.lock();
  if (!c.valid()) return;
  const auto& theme = shell::theme_colors();
  draw_box_backdrop(c, behind_);
  draw_text(c, title_, {120, 160, 360, 190}, 30, theme.msg_box_text_color,
            text::kCenter | text::kVCenter | text::kSingleLine);
  draw_text(c, text_, {60, 200, 420, 330}, 30, theme.msg_box_text_color,
            text::kCenter | text::kWordBreak);
  const uint32_t ink = theme.msg_box_text_color;
  if (type_ == kOneButton) {
    draw_button(c, kOkOnly, u"确定", theme.btn_bk_color, theme.btn_bg_alpha, ink);
  } else {
    draw_button(c, kOk, type_ == kYesNo ? u"是" : u"确定", theme.btn_bk_color, theme.btn_bg_alpha,
                ink);
    draw_button(c, kCancel, type_ == kYesNo ? u"否" : u"取消", theme.btn_bk_color,
                theme.btn_bg_alpha, ink);
  }
  surface_.present(0, 0);
}

}  // namespace tavrin::controls
