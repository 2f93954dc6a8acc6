// CBriskScheduleSms: the scheduled SMS the engine knows of (its list, as
// fetched after login and kept current by its answers; nothing is asked of
// the server here). A column of their send times; choosing one shows its
// text, send time and receivers ("接收人：%s（%ld）" each). "设置定时短信"
// opens the editor, "刷新定时短信" reads the engine's list again, "删除"
// deletes the chosen one on the server after a question, and says how it
// went. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "controls/CScrollList.h"
#include "controls/Layout.h"
#include "screens/sms/SmsScreen.h"

namespace tavrin::screens {

class CBriskScheduleSms : public SmsScreen {
 public:
  static constexpr controls::Rect kSetButton{180, 70, 400, 130};
  static constexpr controls::Rect kRefreshButton{180, 170, 400, 230};
  static constexpr controls::Rect kIds{0, 40, 100, 670};
  static constexpr controls::Rect kDetails{100, 240, 480, 670};
  static constexpr uintptr_t kIdsId = 31, kDetailsId = 32;

  static constexpr controls::Rect kDeleteKey{180, 670, 300, 720};
  // Private message: the engine's answer to a delete (wparam: 123 or 122).
  static constexpr uint32_t kDeleteAnswer = 8103;

  enum class Tap { kSet, kRefresh, kDelete, kClose };
  static constexpr controls::HotArea<Tap> kTaps[] = {
      {Tap::kSet, kSetButton},
      {Tap::kRefresh, kRefreshButton},
      {Tap::kDelete, kDeleteKey},
      {Tap::kClose, {0, 670, 120, 720}},
      {Tap::kClose, {360, 670, 480, 720}},
  };

  explicit CBriskScheduleSms(platform::WindowId owner = 0);
  ~CBriskScheduleSms() override;

  // Runs the screen until 确定 or 退出; 0.
  int run_modal();
  // Reads the engine's list again.
  void refresh();
  // Shows the details of the scheduled SMS with that id; false when the
  // engine has none (the details stay as they were).
  bool choose(int id);
  void open_editor();
  // Asks, then deletes the chosen scheduled SMS on the server.
  void delete_chosen();

  const std::vector<int>& ids() const { return ids_; }
  int chosen() const { return chosen_; }
  // The details as shown: text, send time, one line per receiver.
  const std::vector<std::u16string>& details() const { return details_; }

 protected:
  bool on_create() override;
  void on_destroy() override;
  void paint_page(gfx::Painter& p) override;
  void paint_children() override;
  void on_stylus(platform::StylusAction action, controls::Point screen) override;
  void on_tap(controls::Point p) override;
  bool on_key(uint32_t key_code) override;
  intptr_t on_screen_message(const platform::Message& m) override;

 private:
  controls::CScrollList id_list_{100}, detail_list_{40};
  std::vector<int> ids_;
  int chosen_ = 0;  // the id whose details show; 0 for none
  std::vector<std::u16string> details_;
};

}  // namespace tavrin::screens
