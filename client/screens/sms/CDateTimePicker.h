// CDateTimePicker: the date-and-time picker of the scheduled-SMS editor, a
// box over the whole display ("塔文提示", "请选择你要设置的时间！"). Five
// fields in a row, year to minute, start at the local time; a tap selects
// a field, the arrows above and below it step it within its calendar range
// (PickedTime). OK closes with the time, cancel without one. UI thread only.
#pragma once

#include <optional>

#include "controls/Layout.h"
#include "controls/Screen.h"
#include "gfx/CSurface.h"
#include "screens/sms/PickedTime.h"

namespace tavrin::screens {

class CDateTimePicker : public controls::Screen {
 public:
  // Display coordinates.
  static constexpr int kArrowLeft[5] = {55, 140, 210, 280, 350};
  static constexpr int kArrowSize = 50;
  static constexpr int kUpTop = 160, kDownTop = 250;
  static constexpr controls::Rect kFieldRow{40, 210, 440, 250};
  static constexpr controls::Rect kOk{60, 330, 200, 380};
  static constexpr controls::Rect kCancel{280, 330, 420, 380};
  static constexpr controls::Rect kPanel{30, 88, 450, 396};

  explicit CDateTimePicker(platform::WindowId owner);
  ~CDateTimePicker() override { destroy(); }

  // Runs the box; the chosen time, or nullopt for cancel.
  std::optional<PickedTime> run();

  const PickedTime& value() const { return value_; }
  TimeField selected() const { return selected_; }
  static controls::Rect field_rect(TimeField f);
  static controls::Rect up_arrow(TimeField f);
  static controls::Rect down_arrow(TimeField f);

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_tap(controls::Point p) override;
  bool on_key(uint32_t key_code) override;

 private:
  PickedTime value_;
  TimeField selected_ = TimeField::kYear;
  gfx::CSurface behind_;
};

}  // namespace tavrin::screens
