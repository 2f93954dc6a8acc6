// The shell's task bar across the top 52 rows of the display: the active
// window's title, a clock, and room for the client's icon window (a child
// window of class "iTavrin_Class" the shell code creates at (130, 3)).
// The notification light makes the bar flash; the vibrator shows a mark.
//
// Its window has class "HHTaskBar" (and answers to "CTaskBar" lookups
// through TaskBar::instance()); hiding that window hands the 52 rows to the
// screens, as full-screen message boxes do. UI thread only.
#pragma once

#include "platform/messages.h"

namespace tavrin::platform {

class Display;
class WindowSystem;

class TaskBar {
 public:
  static constexpr int kHeight = 52;

  TaskBar(WindowSystem& windows, Display& display);
  ~TaskBar();
  TaskBar(const TaskBar&) = delete;
  TaskBar& operator=(const TaskBar&) = delete;

  static TaskBar* instance();
  // Shows this minute of the day instead of the clock's (-1: the clock's
  // again), so that screenshots do not depend on when they were taken.
  static void set_clock_for_tests(int minute_of_day);
  WindowId window() const { return window_; }

 private:
  intptr_t handle(const Message& m);
  void paint();

  WindowSystem& windows_;
  Display& display_;
  WindowId window_ = 0;
  int shown_minute_ = -1;
  bool flash_phase_ = false;
};

}  // namespace tavrin::platform
