#include "screens/sms/CDateTimePicker.h"

#include <cstdio>
#include <string>

#include "controls/BoxPainter.h"
#include "screens/sms/LocalClock.h"

namespace tavrin::screens {

using namespace platform;
using controls::Rect;

namespace {

constexpr TimeField kFields[] = {TimeField::kYear, TimeField::kMonth, TimeField::kDay,
                                 TimeField::kHour, TimeField::kMinute};

controls::ScreenSpec picker_spec(WindowId owner) {
  controls::ScreenSpec spec;
  spec.class_name = "CDateTimePicker";
  spec.rect = controls::kWholeDisplay;
  spec.owner = owner;
  spec.topmost = true;
  spec.hide_shell_bars = true;
  return spec;
}

std::u16string digits(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return {buf, buf + std::char_traits<char>::length(buf)};
}

}  // namespace

CDateTimePicker::CDateTimePicker(WindowId owner) : Screen(picker_spec(owner)) {}

Rect CDateTimePicker::up_arrow(TimeField f) {
  const int x = kArrowLeft[int(f)];
  return {x, kUpTop, x + kArrowSize, kUpTop + kArrowSize};
}

Rect CDateTimePicker::down_arrow(TimeField f) {
  const int x = kArrowLeft[int(f)];
  return {x, kDownTop, x + kArrowSize, kDownTop + kArrowSize};
}

Rect CDateTimePicker::field_rect(TimeField f) {
  // The year is four digits wide; the others sit over their arrows.
  const int centre = kArrowLeft[int(f)] + kArrowSize / 2;
  const int half = f == TimeField::kYear ? 40 : 28;
  return {centre - half, kFieldRow.top, centre + half, kFieldRow.bottom};
}

std::optional<PickedTime> CDateTimePicker::run() {
  value_ = PickedTime::from_tm(local_now());
  selected_ = TimeField::kYear;
  const int code = run_modal();
  destroy();
  if (code != 1) return std::nullopt;
  return value_;
}

bool CDateTimePicker::on_create() {
  if (behind_.create(window(), spec().rect.width(), spec().rect.height())) behind_.grab(0, 0);
  return true;
}

void CDateTimePicker::on_destroy() {
  behind_.free();
}

void CDateTimePicker::on_tap(controls::Point p) {
  if (kOk.contains(p)) return end_modal(1);
  if (kCancel.contains(p)) return end_modal(2);
  if (up_arrow(selected_).contains(p)) {
    value_.step(selected_, +1);
  } else if (down_arrow(selected_).contains(p)) {
    value_.step(selected_, -1);
  } else {
    bool chosen = false;
    for (TimeField f : kFields)
      if (field_rect(f).contains(p)) selected_ = f, chosen = true;
    if (!chosen) return;
  }
  repaint();
}

bool CDateTimePicker::on_key(uint32_t key_code) {
  switch (key_code) {
    case key::kUp:
      value_.step(selected_, +1);
      break;
    case key::kDown:
      value_.step(selected_, -1);
      break;
    case key::kLeft:
      selected_ = kFields[(int(selected_) + 4) % 5];
      break;
    case key::kRight:
      selected_ = kFields[(int(selected_) + 1) % 5];
      break;
    case key::kReturn:
      end_modal(1);
      return true;
    case key::kEscape:
      end_modal(2);
      return true;
    default:
      return false;
  }
  repaint();
  return true;
}

void CDateTimePicker::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  gfx::PixelCanvas grabbed = behind_.lock();
  p.blit(grabbed, grabbed.bounds(), 0, 0);
  controls::dim(p);
  controls::draw_panel(p, kPanel, t.msg_box_bk_color, t.msg_box_bg_alpha);
  const uint32_t ink = t.msg_box_text_color;
  const unsigned centred = text::kCenter | text::kVCenter | text::kSingleLine;
  // Centred on y 107 in a band tall enough for the face's ink.
  p.text(u"塔文提示", {120, 87, 360, 127}, 30, ink, centred);
  p.text(u"请选择你要设置的时间！", {50, 122, 430, 156}, 28, ink, centred);
  // The selected field's arrows.
  controls::draw_button(p, up_arrow(selected_), u"▲", t.btn_bk_color, t.btn_bg_alpha,
                        t.btn_text_color);
  controls::draw_button(p, down_arrow(selected_), u"▼", t.btn_bk_color, t.btn_bg_alpha,
                        t.btn_text_color);
  // The fields, with the separators of "YYYY-MM-DD HH:MM" between them.
  const Rect sel = field_rect(selected_);
  p.fill_rounded(sel, t.list_bk_color, t.list_bg_alpha);
  p.draw_rounded_frame(sel, t.list_bk_color, 255);
  for (TimeField f : kFields)
    p.text(digits(value_.value(f), f == TimeField::kYear ? 4 : 2), field_rect(f), 32, ink, centred);
  const char16_t* separators[] = {u"-", u"-", u"", u":"};
  for (int i = 0; i < 4; ++i) {
    const int x = (field_rect(kFields[i]).right + field_rect(kFields[i + 1]).left) / 2;
    p.text(separators[i], {x - 10, kFieldRow.top, x + 10, kFieldRow.bottom}, 30, ink, centred);
  }
  controls::draw_button(p, kOk, u"确定", t.btn_bk_color, t.btn_bg_alpha, ink);
  controls::draw_button(p, kCancel, u"取消", t.btn_bk_color, t.btn_bg_alpha, ink);
}

}  // namespace tavrin::screens
