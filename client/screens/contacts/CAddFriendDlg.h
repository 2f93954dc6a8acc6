// CAddFriendDlg: asks the server to add a contact, by Tavrin number (mode
// 0, exactly 9 digits) or by mobile number (mode 1, exactly 11 digits),
// with the name the user will see ("屏显名称"), the name shown to the other
// side and a buddy list chosen from the engine's groups. "添加" checks the
// number (a wrong one is refused with a box and the hint, the number box
// emptied and focused; the hint goes once the number is edited), sends
// the request and closes with 1; "退出"
// closes with 0. The result reaches the main window through the engine's
// system callback. UI thread only.
#pragma once

#include <string>

#include "controls/CEditWnd.h"
#include "controls/CPopupMenu.h"
#include "controls/Screen.h"

namespace tavrin::screens {

class CAddFriendDlg : public controls::Screen {
 public:
  // Window coordinates.
  static constexpr controls::Rect kModeUid{20, 62, 230, 118};
  static constexpr controls::Rect kModeMobile{250, 62, 460, 118};
  static constexpr controls::Rect kNumberLabel{20, 126, 460, 162};
  static constexpr controls::Rect kNumberBox{20, 166, 460, 216};
  static constexpr controls::Rect kNameLabel{20, 228, 460, 264};
  static constexpr controls::Rect kNameBox{20, 268, 460, 318};
  static constexpr controls::Rect kGreetingLabel{20, 330, 460, 366};
  static constexpr controls::Rect kGreetingBox{20, 370, 460, 420};
  static constexpr controls::Rect kGroupLabel{20, 432, 460, 468};
  static constexpr controls::Rect kGroupLine{20, 472, 460, 528};
  static constexpr controls::Rect kHint{20, 544, 460, 660};
  static constexpr int kGroupMenu = 21;

  explicit CAddFriendDlg(controls::UiContext ui = controls::UiContext::current());
  ~CAddFriendDlg() override;

  // 1 when the request was sent.
  int run_modal();

  // Fills the screen before it runs (an address-book entry).
  void prefill(int mode, std::u16string number, std::u16string display_name);

  int mode() const { return mode_; }
  int group_id() const { return group_id_; }
  const std::u16string& group_name() const { return group_name_; }
  const std::u16string& hint() const { return hint_; }
  controls::CEditWnd& number_box() { return number_; }
  controls::CEditWnd& name_box() { return name_; }
  controls::CEditWnd& greeting_box() { return greeting_; }

  // The taps, as the screen handles them.
  void set_mode(int mode);
  void choose_group();
  void add();

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_tap(controls::Point p) override;
  void on_command(int command) override;
  void on_menu(int menu_id, int index) override;

 private:
  struct Group {
    int id;
    std::u16string name;
  };
  int mode_ = 0;
  int group_id_ = 0;  // 0: no buddy list chosen
  std::u16string group_name_;
  std::u16string hint_;
  std::u16string prefill_number_, prefill_name_;
  std::vector<Group> groups_;  // as the menu lists them
  controls::CEditWnd number_, name_, greeting_;
  controls::CPopupMenu menu_;
};

}  // namespace tavrin::screens
