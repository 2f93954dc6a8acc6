// CBriskUserInfo: the user's own profile: display name, Tavrin number,
// mood text and nickname, and the two boxes to change the nickname and the
// mood text (filled with the current values). "确定" refuses an empty
// nickname or mood text with a box, and sends only the texts that differ
// from the current ones; the results (102-105) come back to this screen,
// which shows the new values. "退出" closes it. UI thread only.
#pragma once

#include <string>

#include "controls/CEditWnd.h"
#include "controls/Screen.h"

namespace tavrin::screens {

class CBriskUserInfo : public controls::Screen {
 public:
  // Window coordinates.
  static constexpr controls::Rect kAvatar{14, 58, 104, 148};
  static constexpr controls::Rect kName{114, 58, 470, 100};
  static constexpr controls::Rect kNumber{114, 104, 470, 144};
  static constexpr controls::Rect kNickLine{20, 150, 460, 186};
  static constexpr controls::Rect kMoodLine{20, 188, 460, 224};
  // The boxes stay above the input panel's top edge (display row 540).
  static constexpr controls::Rect kNickHint{20, 236, 460, 266};
  static constexpr controls::Rect kNickPrompt{20, 266, 460, 296};
  static constexpr controls::Rect kNickBox{20, 298, 460, 346};
  static constexpr controls::Rect kMoodHint{20, 354, 460, 384};
  static constexpr controls::Rect kMoodPrompt{20, 384, 460, 414};
  static constexpr controls::Rect kMoodBox{20, 416, 460, 464};
  static constexpr controls::Rect kResult{20, 476, 460, 512};

  explicit CBriskUserInfo(controls::UiContext ui = controls::UiContext::current());
  ~CBriskUserInfo() override;

  int run_modal();

  controls::CEditWnd& nickname_box() { return nickname_; }
  controls::CEditWnd& mood_box() { return mood_; }
  const std::u16string& nickname() const { return current_nickname_; }
  const std::u16string& mood() const { return current_mood_; }
  const std::u16string& result_text() const { return result_; }
  // How many requests were sent by the last confirm.
  int sent() const { return sent_; }

  void confirm();

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_command(int command) override;
  enum Command { kOk = 1, kExit };
  bool on_engine(bridge::EngineMessage& m) override;

 private:
  void read_profile();

  std::u16string show_name_, uid_, current_nickname_, current_mood_, result_;
  int sent_ = 0;
  controls::CEditWnd nickname_, mood_;
};

}  // namespace tavrin::screens
