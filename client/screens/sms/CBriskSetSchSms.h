// CBriskSetSchSms: composes a scheduled SMS, receivers (as in the group
// screen), a text and a send time from the date-and-time picker, and hands
// it to the engine. Refusals are boxes: no receiver "请选择好友！", no time
// "请设置定时时间！", a time gone by, or an engine that would not take it
// "设置定时短信失败！". Whenever the engine was called the box is emptied;
// the screen stays open, and the service's answer (stored / not stored)
// comes to this window through the engine bridge and is shown in a box.
// UI thread only.
#pragma once

#include <optional>
#include <string>

#include "controls/Layout.h"
#include "screens/sms/PickedTime.h"
#include "screens/sms/ReceiverLists.h"
#include "screens/sms/SmsScreen.h"
#include "screens/sms/SmsTextBox.h"

namespace tavrin::screens {

class CBriskSetSchSms : public SmsScreen {
 public:
  static constexpr controls::Rect kTimeLine{10, 46, 470, 86};
  static constexpr controls::Rect kCountLine{10, 90, 470, 130};
  static constexpr int kLabelHeight = 22;  // "全选：" and "全删："
  static constexpr controls::Rect kSelectAll{105, 140, 195, 180};
  static constexpr controls::Rect kClearAll{285, 140, 375, 180};
  static constexpr controls::Rect kSetTime{190, 200, 290, 250};
  static constexpr controls::Rect kPrompt{10, 254, 470, 288};
  static constexpr controls::Rect kBox{10, 290, 470, 430};
  static constexpr controls::Rect kCounter{10, 430, 470, 456};
  static constexpr controls::Rect kContacts{0, 460, 376, 666};
  static constexpr controls::Rect kReceivers{380, 460, 480, 666};
  static constexpr size_t kLimit = 140;
  static constexpr size_t kConfirmAbove = 5;

  enum class Tap { kSend, kExit, kSelectAll, kClearAll, kSetTime };
  static constexpr controls::HotArea<Tap> kTaps[] = {
      {Tap::kSelectAll, kSelectAll},
      {Tap::kClearAll, kClearAll},
      {Tap::kSetTime, kSetTime},
  };

  explicit CBriskSetSchSms(platform::WindowId owner = 0);
  ~CBriskSetSchSms() override;

  // Runs the screen until 退出; 0.
  int run_modal();
  void send();
  // Opens the picker; true when a time was chosen.
  bool choose_time();
  void set_send_time(const PickedTime& t);

  SmsTextBox& box() { return box_; }
  ReceiverLists& lists() { return lists_; }
  // The chosen send time ("%04d-%02d-%02d %02d:%02d:00"), empty until chosen.
  const std::string& send_time() const { return send_time_; }
  // Ids of the scheduled SMS the service stored from this screen.
  const std::vector<int>& stored() const { return stored_; }

 protected:
  bool on_create() override;
  void on_destroy() override;
  void paint_page(gfx::Painter& p) override;
  void paint_children() override;
  void on_stylus(platform::StylusAction action, controls::Point screen) override;
  void on_command(int command) override;
  bool on_key(uint32_t key_code) override;
  bool on_engine(bridge::EngineMessage& m) override;
  intptr_t on_screen_message(const platform::Message& m) override;

 private:
  SmsTextBox box_;
  ReceiverLists lists_;
  std::optional<PickedTime> time_;
  std::string send_time_;
  std::vector<int> stored_;
};

}  // namespace tavrin::screens
