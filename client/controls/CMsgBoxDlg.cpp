#include "controls/CMsgBoxDlg.h"

#include <algorithm>

#include "controls/BoxPainter.h"

namespace tavrin::controls {

using namespace platform;

namespace {
ScreenSpec box_spec() {
  ScreenSpec spec;
  spec.class_name = "CMsgBoxDlg";
  spec.rect = kWholeDisplay;
  spec.topmost = true;
  spec.hide_shell_bars = true;
  return spec;
}
}  // namespace

CMsgBoxDlg::CMsgBoxDlg() : Screen(box_spec()) {}

void CMsgBoxDlg::create(WindowId owner, bool timed) {
  destroy();
  set_owner(owner);
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
  destroy();
  countdown_ = kCountdown;
  const int code = Screen::run_modal();
  destroy();
  return code == 1 ? 1 : 0;
}

bool CMsgBoxDlg::on_create() {
  // What the box covers, dimmed behind its panel.
  if (behind_.create(window(), spec().rect.width(), spec().rect.height())) behind_.grab(0, 0);
  if (timed_) set_timer(kTimerId, 1000);
  return true;
}

void CMsgBoxDlg::on_destroy() {
  behind_.free();
}

void CMsgBoxDlg::on_tap(Point p) {
  if (type_ == kOneButton) {
    if (kOkOnly.contains(p)) end_modal(1);
  } else if (kOk.contains(p)) {
    end_modal(1);
  } else if (kCancel.contains(p)) {
    end_modal(0);
  }
}

void CMsgBoxDlg::on_timer(uintptr_t id) {
  if (id == kTimerId && timed_ && countdown_ > 0 && --countdown_ == 0) {
    kill_timer(kTimerId);
    end_modal(1);
  }
}

CMsgBoxDlg::Layout CMsgBoxDlg::layout_for(std::u16string_view text) {
  constexpr unsigned kFlags = text::kCenter | text::kWordBreak;
  constexpr int kTopMost = 12;  // the panel's highest top
  const int most = kText.height() + (kBoxPanel.top - kTopMost);
  Layout l;
  int needed = kText.height();
  for (int height : {30, 26, 22, 18}) {
    const platform::Font* f = gfx::Painter::font(height);
    if (!f) break;
    l.text_height = height;
    needed = f->text_height(text, kText.width(), kFlags);
    if (needed <= most) break;
  }
  const int grow = std::clamp(needed - kText.height(), 0, most - kText.height());
  l.panel = {kBoxPanel.left, kBoxPanel.top - grow, kBoxPanel.right, kBoxPanel.bottom};
  // Centred on y 175 in a band tall enough for the face's ink.
  l.title = gfx::Rect{120, 155, 360, 195}.offset(0, -grow);
  l.text = {kText.left, kText.top - grow, kText.right, kText.bottom};
  return l;
}

void CMsgBoxDlg::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  const Layout l = layout_for(text_);
  draw_box_backdrop(p, behind_, l.panel);
  p.text(title_, l.title, 30, t.msg_box_text_color,
         text::kCenter | text::kVCenter | text::kSingleLine | text::kEndEllipsis);
  p.text(text_, l.text, l.text_height, t.msg_box_text_color, text::kCenter | text::kWordBreak);
  const uint32_t ink = t.msg_box_text_color;
  if (type_ == kOneButton) {
    draw_button(p, kOkOnly, u"确定", t.btn_bk_color, t.btn_bg_alpha, ink);
  } else {
    draw_button(p, kOk, type_ == kYesNo ? u"是" : u"确定", t.btn_bk_color, t.btn_bg_alpha, ink);
    draw_button(p, kCancel, type_ == kYesNo ? u"否" : u"取消", t.btn_bk_color, t.btn_bg_alpha, ink);
  }
}

}  // namespace tavrin::controls
