// CBriskToSelfMsg: an SMS to the user's own phone. The own mobile number
// comes from the personal information (the user record's number when the
// profile has none); the box takes 80 characters; paste replaces the text
// with the clipboard's. The send key sends through the engine to that
// number and says "发送成功！" once the service accepted it, "发送失败！"
// when it refused, the request could not go, or no answer came within
// 30 s. With no text, or no number to send to, it refuses with a box.
// Results come to this window through the engine bridge. While the screen
// is open, the phone's delivery report of the last SMS sent says under the
// number "短信已送达" or "短信未送达". UI thread only.
#pragma once

#include <string>

#include "controls/Layout.h"
#include "screens/router/SmsReports.h"
#include "screens/sms/SmsScreen.h"
#include "screens/sms/SmsTextBox.h"

namespace tavrin::screens {

class CBriskToSelfMsg : public SmsScreen {
 public:
  static constexpr controls::Rect kPrompt{10, 42, 470, 78};
  static constexpr controls::Rect kBox{10, 80, 470, 340};
  // The counter strip needs its face's height under the box, so the
  // button stands a little lower than 360 and keeps its 50 pixels.
  static constexpr controls::Rect kCounter{10, 340, 470, 364};
  static constexpr controls::Rect kSendButton{160, 368, 320, 418};
  static constexpr controls::Rect kNumberLine{10, 430, 470, 470};
  static constexpr controls::Rect kStatusLine{10, 470, 470, 510};
  static constexpr size_t kLimit = 80;
  static constexpr uintptr_t kAnswerTimer = 1;
  static constexpr int kAnswerWaitMs = 30000;

  enum class Tap { kSend, kPaste, kExit };
  static constexpr controls::HotArea<Tap> kTaps[] = {
      {Tap::kSend, kSendButton},
  };

  explicit CBriskToSelfMsg(platform::WindowId owner = 0);
  ~CBriskToSelfMsg() override;

  // Runs the screen until 退出; 0.
  int run_modal();
  void send();
  void paste();

  SmsTextBox& box() { return box_; }
  const std::u16string& mobile() const { return mobile_; }
  bool sending() const { return sending_; }
  // The delivery state of the last SMS sent, once its report came ("" before).
  const std::u16string& delivery() const { return delivery_; }

 protected:
  bool on_create() override;
  void on_destroy() override;
  void paint_page(gfx::Painter& p) override;
  void paint_children() override;
  void on_command(int command) override;
  bool on_key(uint32_t key_code) override;
  void on_timer(uintptr_t id) override;
  bool on_engine(bridge::EngineMessage& m) override;
  intptr_t on_screen_message(const platform::Message& m) override;

 private:
  void finish(bool ok);
  bool take_report(const SmsReport& report);

  SmsTextBox box_;
  std::u16string mobile_;
  bool sending_ = false;
  std::u16string sent_;  // the text of the last SMS sent, until its report
  std::u16string delivery_;
  SmsReportClaim reports_{[this](const SmsReport& r) { return take_report(r); }};
};

}  // namespace tavrin::screens
