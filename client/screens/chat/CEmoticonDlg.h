// CEmoticonDlg: the emoticon picker of the chat window, a 480 x 720 dialog
// over it. The grid "Face.png" shows the 53 emoticons in 11 columns of 42
// pixels and 5 rows of 40; a tap on a cell selects its emoticon (cells 53
// and 54 are empty and select nothing) and shows its name; "确定" closes
// with the selected code, "取消" without. The selection starts at ":d".
// Rectangles are window coordinates. UI thread only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "controls/Screen.h"

namespace tavrin::screens {

class CEmoticonDlg : public controls::Screen {
 public:
  static constexpr controls::Rect kGrid{9, 420, 471, 620};
  static constexpr int kCellWidth = 42, kCellHeight = 40, kColumns = 11;
  static constexpr controls::Rect kName{20, 260, 460, 355};
  static constexpr controls::Rect kCaption{0, 0, 480, 60};
  static constexpr controls::Rect kBar{0, 660, 480, 720};
  static constexpr controls::Rect kOk{0, 660, 120, 720};
  static constexpr controls::Rect kCancel{360, 660, 480, 720};

  explicit CEmoticonDlg(platform::WindowId owner,
                        controls::UiContext ui = controls::UiContext::current());
  ~CEmoticonDlg() override { destroy(); }

  // 1 with OK (code() is the choice), 0 otherwise.
  int run_modal();
  size_t selected() const { return selected_; }
  std::u16string code() const;
  // The cell index at a window point inside the grid, whatever it holds.
  static std::optional<size_t> cell_at(controls::Point window_point);

 protected:
  void on_paint(gfx::Painter& p) override;
  void on_tap(controls::Point screen) override;
  bool on_key(uint32_t key_code) override;

 private:
  size_t selected_;
};

}  // namespace tavrin::screens
