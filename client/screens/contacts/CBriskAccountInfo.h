// CBriskAccountInfo: one contact's profile as nine 65-pixel list lines
// (ProfileLines), the rename box for the contact's display name and the
// refresh key. Rename refuses an empty text with a box and sends nothing
// for the current name; a name keeps at most kKeptNameBytes GB2312 bytes
// (whole characters): a longer one turns the prompt into a warning while
// it is typed, and 修改 asks before sending what is kept; refresh asks the engine for the profile
// and the lines are rebuilt when it lands (the screen re-reads the store on timer kRefreshTimer
// while it waits, and on any engine message about the contact). An id the engine does not know
// lists nothing. Requests post their results to this screen. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "controls/CEditWnd.h"
#include "controls/CScrollList.h"
#include "controls/Screen.h"

namespace tavrin::screens {

class CBriskAccountInfo : public controls::Screen {
 public:
  // Window coordinates.
  static constexpr controls::Rect kAvatar{14, 58, 104, 148};
  static constexpr controls::Rect kPrompt{114, 56, 476, 90};
  static constexpr controls::Rect kRenameBox{114, 94, 470, 144};
  static constexpr controls::Rect kLines{0, 152, 479, 684};
  static constexpr int kLineHeight = 65;
  static constexpr uintptr_t kListId = 46;
  static constexpr uintptr_t kRefreshTimer = 46;
  static constexpr int kRefreshPeriodMs = 500;
  static constexpr int kRefreshTries = 30;
  static constexpr size_t kKeptNameBytes = 32;
  static constexpr size_t kRenameBoxBytes = 64;

  explicit CBriskAccountInfo(long contact_id,
                             controls::UiContext ui = controls::UiContext::current());
  ~CBriskAccountInfo() override;

  int run_modal();

  const std::vector<std::u16string>& lines() const { return lines_; }
  controls::CEditWnd& rename_box() { return rename_; }
  // The typed name is longer than what is kept; what is kept of it.
  bool name_too_long() const;
  std::u16string kept_name() const;
  bool waiting_for_profile() const { return tries_left_ > 0; }
  // Renames the engine confirmed (90) while the screen was open.
  int renames_confirmed() const { return renames_confirmed_; }

  // The keys, as the screen handles them.
  void rename();
  void refresh();
  // Reads the lines again; true when they changed.
  bool rebuild();

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_command(int command) override;
  void on_timer(uintptr_t id) override;
  bool on_engine(bridge::EngineMessage& m) override;

 private:
  long id_;
  std::vector<std::u16string> lines_;
  int tries_left_ = 0;
  int renames_confirmed_ = 0;
  bool too_long_shown_ = false;  // the prompt shows the warning
  controls::CEditWnd rename_;
  controls::CScrollList list_{kLineHeight};
};

}  // namespace tavrin::screens
