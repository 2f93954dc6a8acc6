#include "controls/CInputBox.h"

#include "controls/BoxPainter.h"

namespace tavrin::controls {

using namespace platform;

namespace {
ScreenSpec box_spec() {
  ScreenSpec spec;
  spec.class_name = "CInputBox";
  spec.rect = kWholeDisplay;
  spec.topmost = true;
  spec.hide_shell_bars = true;
  return spec;
}
}  // namespace

CInputBox::CInputBox() : Screen(box_spec()) {}

int CInputBox::run_modal() {
  destroy();
  const int code = Screen::run_modal();
  if (code == 1) text_ = edit_.text();
  destroy();
  return code == 1 ? 1 : 0;
}

bool CInputBox::on_create() {
  if (behind_.create(window(), spec().rect.width(), spec().rect.height())) behind_.grab(0, 0);
  edit_.create(window(), kEditRect, kMaxLength);
  edit_.set_text(text_);
  // Typing goes into the field at once, as the prompt asks for it.
  windows().set_focus(edit_.window());
  return true;
}

void CInputBox::on_destroy() {
  edit_.destroy();
  behind_.free();
}

void CInputBox::on_tap(Point p) {
  if (kOk.contains(p)) end_modal(1);
  if (kCancel.contains(p)) end_modal(0);
}

void CInputBox::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  draw_box_backdrop(p, behind_);
  p.text(prompt_, {60, 160, 420, 210}, 30, t.msg_box_text_color,
         text::kLeft | text::kVCenter | text::kSingleLine);
  draw_button(p, kOk, u"确定", t.btn_bk_color, t.btn_bg_alpha, t.msg_box_text_color);
  draw_button(p, kCancel, u"取消", t.btn_bk_color, t.btn_bg_alpha, t.msg_box_text_color);
}

}  // namespace tavrin::controls
