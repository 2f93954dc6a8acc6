// CBriskLibTavrinMsg: the chat window, the conversation with one contact.
//
// Tab 2 (the conversation) shows the contact's stored lines newest first,
// then every line sent or received while it is open; tabs 1 and 3 list the
// main window's recent contacts and conversations (tab 3 steps through the
// conversations with its arrows) and switch the window to the one chosen.
// Sending goes out by fx_dialog_send to a PC-type contact in chat mode, by
// fx_send_sms otherwise; receiving fetches the contact's queued lines with
// fx_get_msg. Every line, sent ("机主：" or "发送失败：") or received
// (name "：" text), is logged to the signed-in user's log table; a failing
// log never costs the line on screen or the send. The operations strip
// ("TavrinMsgOper.png") brings up the input panel, pastes, picks an
// emoticon, nudges (saying for a moment in the title bar whether the
// nudge went), switches chat and SMS mode and reloads the history.
//
// The main window owns the window and talks to it only through ChatWindow;
// it calls back through MainWindowLink. Results of this window's requests
// come back as engine messages to its own window. Rectangles are window
// coordinates. UI thread only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "controls/CBriskEdit.h"
#include "controls/CScrollList.h"
#include "controls/Screen.h"
#include "screens/router/ChatLink.h"
#include "storage/ChatLogStore.h"

namespace tavrin::screens {

class CBriskLibTavrinMsg : public controls::Screen, public ChatWindow {
 public:
  static constexpr controls::Rect kTitle{0, 0, 480, 40};
  static constexpr controls::Rect kTabs{0, 40, 480, 100};
  static constexpr int kTabWidth = 160;
  static constexpr controls::Rect kPrevious{320, 40, 370, 100};  // tab 3's arrows
  static constexpr controls::Rect kNext{430, 40, 480, 100};
  static constexpr controls::Rect kInput{18, 114, 462, 254};
  static constexpr controls::Rect kLines{0, 270, 480, 690};
  static constexpr controls::Rect kBar{0, 690, 480, 748};
  // The operations strip when shown, above the bar (or above the input
  // panel while that is up): a frame around one row of cells.
  static constexpr controls::Rect kOperations{8, 606, 472, 686};
  static constexpr int kOperationCell = 64, kOperationCount = 7;
  static constexpr int kOperationLeft = 16, kOperationTop = 614;
  static constexpr size_t kInputLimit = 180;
  static constexpr uintptr_t kLineListId = 666;
  static constexpr int kOperationsMenu = 8900;
  // How a nudge went stands in the title bar for a few seconds.
  static constexpr uintptr_t kNudgeStatusTimer = 19;
  static constexpr int kNudgeStatusMs = 3000;
  // A chat opens on its newest lines (more than a screen holds); the older
  // ones are read once that first frame is up (kLoadOlder, wparam the contact).
  static constexpr size_t kFirstLines = 60;
  static constexpr uint32_t kLoadOlder = platform::msg::kUser + 0x7101;

  enum Key { kSend = 1, kOperationsKey, kBack };

  struct Line {
    std::u16string text;
    std::u16string time;
    int direction = 0;  // 1 sent, 0 received
    int height = 0;
    std::uint64_t send_id = 0;  // a sent line waiting for its result (MainWindowLink)
    std::int64_t rowid = 0;     // its row in the log, 0 when it has none
    std::u16string when;        // local date and time; empty for an old logged line
    std::uint64_t key = 0;      // names the line in a tap (its row's value)
  };

  CBriskLibTavrinMsg(long contact_id, platform::WindowId owner, MainWindowLink& main, bool sms_mode,
                     controls::UiContext ui = controls::UiContext::current());
  ~CBriskLibTavrinMsg() override;

  // --- ChatWindow ---
  long contact_id() const override { return contact_id_; }
  platform::WindowId window() const override { return Screen::window(); }
  void notify(long contact_id, const std::u16string& text) override;
  void set_logged_in(bool logged_in) override {
    logged_in_ = logged_in;
    if (window()) repaint();  // the title band says so
  }
  void line_settled(std::uint64_t id, std::int64_t rowid, const std::u16string& line) override;
  int run_modal() override;

  // --- what the user does ---
  // The send key; true when something was sent.
  bool send();
  // A tapped "发送失败" line: asks, and sends its text again in its place.
  // True when it went out again.
  bool retry(size_t index);
  void operation(int index);  // an entry of the operations strip
  void show_tab(int tab);
  // Tab 3's arrows: the conversation index steps and wraps.
  void step_conversation(int delta);
  // Switches the window to another contact (an entry of tab 1 or 3).
  void switch_to(long contact_id) override;
  void close() { end_modal(0); }

  // --- state, for the main window and tests ---
  int tab() const { return tab_; }
  bool sms_mode() const { return sms_mode_; }
  bool has_record() const { return has_record_; }
  const std::u16string& title() const { return title_; }
  const std::u16string& name() const { return name_; }
  const std::vector<Line>& lines() const { return lines_; }  // newest first
  int conversation_index() const { return conversation_index_; }
  const std::vector<ChatListEntry>& entries() const { return entries_; }
  bool operations_shown() const { return operations_shown_; }
  // Where the strip is drawn and hit (window coordinates): placed when it
  // opens, above the input panel if that is up, and kept there until it closes.
  const controls::Rect& operations_rect() const { return strip_; }
  const std::u16string& log_failure() const { return log_failure_; }
  const std::u16string& nudge_status() const { return nudge_status_; }
  // What the title band says in place of the title, when anything.
  std::u16string band_note() const;
  bool signed_in() const { return logged_in_ && main_.logged_in(); }
  controls::CBriskEdit& input() { return input_; }
  controls::CScrollList& line_list() { return list_; }
  const std::u16string& log_table() const { return log_.table(); }

  // The engine's record of a contact, read under the store lock.
  struct ContactFacts {
    bool has_record = false;
    bool pc_user = false;
    std::u16string name;
  };
  static ContactFacts contact_facts(long contact_id);

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_stylus(platform::StylusAction action, controls::Point p) override;
  void on_command(int command) override;
  controls::Rect popup_rect() const override;
  bool on_key(uint32_t key_code) override;
  void on_menu(int menu_id, int index) override;
  void on_timer(uintptr_t id) override;
  bool on_engine(bridge::EngineMessage& m) override;
  intptr_t on_message(const platform::Message& m) override;

 private:
  void load_older(long contact_id);
  void look_up_contact();
  void set_title();
  void begin_dialog();
  void receive();
  void show_pending();
  void load_history();
  void add_live_line(Line line);
  // Logs a line of the conversation; its row id, 0 when it was not logged.
  std::int64_t log_line(const std::u16string& line, const std::u16string& time,
                        const std::u16string& when);
  void fill_entries();
  void rebuild_rows();
  static void draw_arrow(gfx::Painter& p, const controls::Rect& r, int direction);
  void paint_row(gfx::PixelCanvas& canvas, const controls::ListRow& row, const gfx::Rect& r,
                 bool selected);
  void tap(controls::Point window_point);
  void send_key();
  // Sends a text as a new line (logged, shown); true when the engine took it.
  bool deliver(const std::u16string& text);
  void tap_line(std::uint64_t key);
  void nudge();
  void pick_emoticon();

  long contact_id_;
  MainWindowLink& main_;
  bool sms_mode_;
  bool logged_in_ = true;
  bool has_record_ = false;
  std::u16string name_;
  std::u16string title_;
  storage::ChatLogStore log_;
  int tab_ = 2;
  int conversation_index_ = 1;
  std::vector<Line> lines_;             // newest first, tab 2
  // The oldest stored line shown while older ones wait to be read; 0 when
  // every one is there.
  std::int64_t older_than_ = 0;
  std::vector<ChatListEntry> entries_;  // tab 1 or 3
  controls::CBriskEdit input_;
  controls::CScrollList list_;
  bool operations_shown_ = false;
  controls::Rect strip_ = kOperations;
  std::u16string log_failure_;
  std::u16string nudge_status_;  // empty when none is shown (also a sent line's hint)
  bool nudge_ok_ = false;
  std::uint64_t next_key_ = 1;
  gfx::CSurface background_;  // the chat background under the frame, for the list
};

}  // namespace tavrin::screens
