// CBriskGroupMsg: one text as SMS to several contacts of one buddy list
// (group id -1 or 999: every contact). Tapping a contact makes it a
// receiver (once), tapping a receiver takes it out, 全选 / 全删 choose all
// or none. The send key sends the text to each receiver in order; each
// gets a result line, "我对%s说:" once the service accepted it or
// "对%s发送失败:" when it did not, followed by the text; a failure for one
// receiver does not stop the others, and the text stays in the box. Before
// the text goes to more than five receivers, a yes/no box tells how many
// SMS that makes. Results come to this window through the engine bridge.
// While the screen is open, the delivery report of an SMS it sent to a
// phone (matched by contact and text, the oldest sent one first) turns its
// line into "我对%s说(已送达):" or "我对%s说(未送达):"; the report is then
// no chat line of the phone. UI thread only.
#pragma once

#include <string>
#include <vector>

#include "controls/CScrollList.h"
#include "controls/Layout.h"
#include "screens/router/SmsReports.h"
#include "screens/sms/ReceiverLists.h"
#include "screens/sms/SmsScreen.h"
#include "screens/sms/SmsTextBox.h"

namespace tavrin::screens {

class CBriskGroupMsg : public SmsScreen {
 public:
  static constexpr controls::Rect kPrompt{10, 42, 470, 78};
  static constexpr controls::Rect kBox{10, 80, 470, 250};
  static constexpr controls::Rect kCounter{10, 250, 470, 274};
  static constexpr controls::Rect kResults{10, 276, 470, 374};
  static constexpr controls::Rect kSelectAll{105, 380, 225, 430};
  static constexpr controls::Rect kClearAll{255, 380, 375, 430};
  static constexpr controls::Rect kContacts{0, 436, 376, 666};
  static constexpr controls::Rect kReceivers{380, 436, 480, 666};
  static constexpr size_t kLimit = 140;
  static constexpr size_t kConfirmAbove = 5;  // receivers sent to without asking
  static constexpr uintptr_t kResultsId = 23;

  enum class Tap { kSend, kPaste, kExit, kSelectAll, kClearAll };
  static constexpr controls::HotArea<Tap> kTaps[] = {
      {Tap::kSelectAll, kSelectAll},
      {Tap::kClearAll, kClearAll},
  };

  // kDelivered and kNotDelivered follow kSent when the phone's report comes.
  enum class Outcome { kWaiting, kSent, kFailed, kDelivered, kNotDelivered };
  struct Result {
    long id = 0;
    std::u16string name;
    std::u16string text;
    Outcome outcome = Outcome::kWaiting;
    bool timed_out = false;  // failed for want of an answer; a late one may still come
  };

  CBriskGroupMsg(platform::WindowId owner, int group_id);
  ~CBriskGroupMsg() override;

  // Runs the screen until 退出; 0.
  int run_modal();
  void send();
  void paste();

  int group_id() const { return group_id_; }
  SmsTextBox& box() { return box_; }
  ReceiverLists& lists() { return lists_; }
  const std::vector<Result>& results() const { return results_; }
  // The line a result shows.
  static std::u16string line_of(const Result& r);

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
  void show_results();
  bool take_report(const SmsReport& report);

  int group_id_;
  SmsTextBox box_;
  ReceiverLists lists_;
  controls::CScrollList result_list_{30};
  std::vector<Result> results_;
  SmsReportClaim reports_{[this](const SmsReport& r) { return take_report(r); }};
};

}  // namespace tavrin::screens
