// CMsgBoxDlg: the skinned modal message box. It covers the whole screen,
// top-most, with the screen dimmed behind a rounded panel, hides the
// shell's task bar and input-panel button while it shows, and returns 1 for
// "确定" (or "是") and 0 for "取消" (or "否"). A timed box counts down from 5
// on timer 125 (1000 ms) and closes as if "确定" were tapped when the count
// reaches 0. Engine and other windows' messages keep being handled while it
// runs. UI thread only.
#pragma once

#include <string>

#include "controls/Screen.h"
#include "gfx/CSurface.h"

namespace tavrin::controls {

class CMsgBoxDlg : public Screen {
 public:
  static constexpr uintptr_t kTimerId = 125;
  static constexpr int kCountdown = 5;
  enum Type { kOneButton = 1, kTwoButtons = 2, kYesNo = 3 };

  // Where the panel, the title and the text go: the text has 130 pixels
  // at height 30 under the title; a longer text grows the panel upwards
  // (the buttons stay where a finger expects them), and past the top of
  // the screen it takes a smaller face.
  struct Layout {
    gfx::Rect panel, title, text;
    int text_height = 30;
  };
  static Layout layout_for(std::u16string_view text);
  static constexpr gfx::Rect kText{60, 200, 420, 330};

  // Button rectangles on the screen.
  static constexpr gfx::Rect kOkOnly{180, 335, 300, 382};
  static constexpr gfx::Rect kOk{80, 335, 200, 382};
  static constexpr gfx::Rect kCancel{280, 335, 400, 382};

  CMsgBoxDlg();
  ~CMsgBoxDlg() override { destroy(); }

  void create(platform::WindowId owner, bool timed = false);
  void set_type(int type) { type_ = type; }
  void set_title(std::u16string title) { title_ = std::move(title); }
  void set_text(std::u16string text) { text_ = std::move(text); }
  // Runs modally; 1 for confirmation, 0 otherwise.
  int run_modal();

  int countdown() const { return countdown_; }

  // A one- or two-button box in one call.
  static int show(platform::WindowId owner, std::u16string text, std::u16string title = u"提示",
                  int type = kOneButton, bool timed = false);

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_tap(Point p) override;
  void on_timer(uintptr_t id) override;

 private:
  int type_ = kOneButton;
  bool timed_ = false;
  int countdown_ = kCountdown;
  std::u16string title_ = u"提示";
  std::u16string text_;
  gfx::CSurface behind_;
};

}  // namespace tavrin::controls
