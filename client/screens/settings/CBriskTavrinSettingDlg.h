// CBriskTavrinSettingDlg: the settings screen. Three tabs in the left
// column choose the page (page 1 first): page 0 the add-friend entry
// (opens the add-friend screen through the router), page 1 six switches
// ("震动" and "好友消息声音" go to the Vibrate and Sound settings at once,
// the other four to the persistent shell::SwitchSettings at once) and under
// them "触摸键盘", whose tap steps through 自动, 开启 and 关闭 (kept with the
// switches at once, and the input panel follows it at once) and a note of
// where saved passwords are kept (the desktop's secret service, or the
// history database where none answers), page 2 the
// login status as four radio entries (0 在线, 1 隐身, 2 忙碌, 3 离开).
// "确定" closes with the chosen status index; "退出" closes with kCancelled
// (the switches stay as set, the status is left unchanged). UI thread only.
#pragma once

#include <array>

#include "controls/Screen.h"

namespace tavrin::screens {

class CBriskTavrinSettingDlg : public controls::Screen {
 public:
  static constexpr int kCancelled = -1;
  static constexpr int kSwitchCount = 6;
  static constexpr int kTouchRow = kSwitchCount;  // page 1, under the switches
  static constexpr int kStatusCount = 4;
  // Window coordinates: the tabs (x 0-80), the entry rows of a page.
  static constexpr controls::Rect kTab[3] = {
      {0, 52, 80, 152}, {0, 152, 80, 252}, {0, 252, 80, 352}};
  static constexpr int kRowTop = 62;
  static constexpr int kRowHeight = 80;
  static constexpr controls::Rect row(int i) {
    return {90, kRowTop + i * kRowHeight, 470, kRowTop + (i + 1) * kRowHeight};
  }

  // initial_status: the radio entry checked at first (0 在线 unless given).
  // offline: not signed in, so the 好友 page only says that adding a friend
  // needs a sign-in.
  explicit CBriskTavrinSettingDlg(int initial_status = 0, bool offline = false,
                                  controls::UiContext ui = controls::UiContext::current());
  ~CBriskTavrinSettingDlg() override;

  // The chosen status index 0-3, or kCancelled.
  int run_modal();

  int page() const { return page_; }
  bool switch_on(int index) const { return switches_[size_t(index)]; }
  int status() const { return status_; }
  int touch_keyboard() const { return touch_; }  // a shell::TouchKeyboard

  // The taps, as the screen handles them.
  void show_page(int page);
  void toggle(int index);
  void choose_status(int index);
  void next_touch_keyboard();
  void add_friend();

 protected:
  void on_paint(gfx::Painter& p) override;
  void on_tap(controls::Point p) override;
  void on_command(int command) override;

 private:
  int page_ = 1;
  static constexpr int kStatusBase = 100;
  enum Command { kOk = 1, kExit };
  int status_ = 0;
  bool offline_ = false;
  std::array<bool, kSwitchCount> switches_{};
  int touch_ = 0;
};

}  // namespace tavrin::screens
