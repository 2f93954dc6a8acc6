// CBriskMsgBox: the pop-up notice of a new message (window class
// "BriskMsgBox"): a panel in the button colours with its title, its text
// and two buttons, laid over the screen of the window that has the focus.
// Only one notice exists at a time: showing while one shows does nothing.
// A tap on either button closes it (with the press effect); "查看" then
// runs the notice's view action (the main window opens that chat); other
// taps are ignored. UI thread only.
#pragma once

#include <functional>
#include <string>

#include "controls/Backdrop.h"
#include "gfx/CSurface.h"
#include "gfx/Rect.h"
#include "platform/messages.h"

namespace tavrin::mainwnd {

class CBriskMsgBox {
 public:
  static constexpr gfx::Rect kLeftButton{70, 335, 210, 385};
  static constexpr gfx::Rect kRightButton{270, 335, 410, 385};

  CBriskMsgBox() = default;
  ~CBriskMsgBox() { close(); }
  CBriskMsgBox(const CBriskMsgBox&) = delete;
  CBriskMsgBox& operator=(const CBriskMsgBox&) = delete;

  // false (and nothing changes) while a notice is showing.
  bool show(std::u16string title, std::u16string text, int mode,
            std::function<void()> on_view = {});
  void close();

  bool showing() const { return showing_; }
  platform::WindowId window() const { return window_; }
  const std::u16string& title() const { return title_; }
  const std::u16string& text() const { return text_; }
  int mode() const { return mode_; }
  static CBriskMsgBox* current() { return current_; }

 private:
  intptr_t handle(const platform::Message& m);
  void paint();

  bool showing_ = false;
  std::u16string title_, text_;
  int mode_ = 0;
  std::function<void()> on_view_;
  platform::WindowId window_ = 0;
  gfx::CSurface surface_;
  controls::Backdrop backdrop_;
  static inline CBriskMsgBox* current_ = nullptr;  // the notice showing; UI thread
};

}  // namespace tavrin::mainwnd
