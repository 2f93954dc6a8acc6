// SmsScreen: what the four SMS screens share. A full-screen window whose
// page has a 40-pixel title bar and the screen frame's soft-key bar over the
// theme's background; the notices ("塔文提示" boxes); and the order of
// painting: the screen's surface first, then its children (edit box,
// counter, lists), which present over it.
//
// Rectangles are window coordinates. UI thread only.
#pragma once

#include <span>
#include <string>

#include "controls/CMsgBoxDlg.h"
#include "controls/Screen.h"

namespace tavrin::screens {

class SmsScreen : public controls::Screen {
 public:
  static constexpr controls::Rect kTitleBar{0, 0, 480, 40};
  static constexpr controls::Rect kSoftBar = controls::kSoftKeyBar;
  static constexpr char16_t kCaption[] = u"塔文提示";
  // Private message: an edit box changed.
  static constexpr uint32_t kTextChanged = 8102;

  SmsScreen(std::string class_name, std::u16string title, platform::WindowId owner);

  // How many notices were shown, and the last one's text (for tests).
  int notices() const { return notices_; }
  const std::u16string& last_notice() const { return last_notice_; }
  // The title painted in the title bar.
  const std::u16string& title() const { return frame().title; }

 protected:
  // The page between the background and the children.
  virtual void paint_page(gfx::Painter& p) = 0;
  // The children paint over the presented surface.
  virtual void paint_children() {}
  void on_paint_children() final { paint_children(); }
  virtual intptr_t on_screen_message(const platform::Message& m) { return 0; }

  void on_paint(gfx::Painter& p) final;
  intptr_t on_message(const platform::Message& m) final;

  // A key of the bar between x left and right.
  static controls::SoftKey soft_key(const char16_t* caption, int left, int right, int command) {
    return {caption, {left, kSoftBar.top, right, kSoftBar.bottom}, command};
  }
  // A "塔文提示" box; 1 for 确定 / 是.
  int notice(std::u16string text, int type = controls::CMsgBoxDlg::kOneButton);

  // height 0: the 30-pixel face, smaller when the caption would not fit.
  void paint_button(gfx::Painter& p, const controls::Rect& r, std::u16string_view caption,
                    int height = 0);
  void paint_label(gfx::Painter& p, std::u16string_view text, const controls::Rect& r,
                   int height = 28, unsigned flags = 0);

 private:
  int notices_ = 0;
  std::u16string last_notice_;
};

}  // namespace tavrin::screens
