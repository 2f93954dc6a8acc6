// CBriskLibTavrin: the client's main window ("BriskTavrin", 480 x 800 at
// (0, 52)), alive for the whole signed-in life of the process. It runs the
// login screen first, then shows the user's header (name with status,
// mood, number), the contact tree with live presence, the bottom bar and
// the soft-key bar, and the pop-up menus from which every other screen is
// opened through the screen router (the chat window through its factory).
//
// It is the engine's one system-message receiver: the engine bridge posts
// each engine message to this window, and the handler turns it into tree
// updates, boxes, notifications (sound, vibration, notice), deliveries to
// the open chat window, or a new login after a network error (timer 20,
// every 35 s until the engine reports 14 or the user logs out).
//
// It draws into its own surface and presents only while it is the active
// window; changes made meanwhile are drawn when it is active again.
// UI thread only.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "controls/CPopupMenu.h"
#include "controls/Screen.h"
#include "mainwnd/CContactTree.h"
#include "mainwnd/ContactTreeModel.h"
#include "mainwnd/SendReports.h"
#include "mainwnd/notify.h"
#include "screens/chat/Outbox.h"
#include "screens/login/CLoginDlg.h"
#include "screens/router/ChatLink.h"
#include "screens/router/ScreenRouter.h"
#include "storage/ChatLogStore.h"

namespace tavrin::mainwnd {

class CBriskLibTavrin : public controls::Screen, public screens::MainWindowLink {
 public:
  // Layout, window coordinates (display row = window row + 52). The tree
  // is a list of the base, which hands it the stylus in display rows.
  static constexpr controls::Rect kTreeView{0, 113, 480, 638};
  static constexpr controls::Rect kHeaderStrip{0, 0, 480, 113};
  static constexpr controls::Rect kNameLine{125, 5, 480, 45};
  static constexpr controls::Rect kSecondLine{0, 45, 480, 113};
  static constexpr controls::Rect kNotice{0, 45, 480, 99};
  // What the header writes stays right of the avatar (x 30-120).
  static constexpr int kHeaderTextLeft = 125, kHeaderTextRight = 475;
  static constexpr controls::Rect kSoftKeyBar{0, 698, 480, 748};

  // The bottom bar's three buttons and the avatar; the soft keys are the
  // frame's.
  enum Command {
    kRebuild = 1,
    kAddFriend,
    kAddressBook,
    kAvatar,
    kSearch,
    kMine,
    kSettings,
    kSmsCommand = 32900,
    kOperationsCommand = 32901,
  };
  static constexpr controls::HotArea<Command> kTaps[] = {
      {kAddressBook, {321, 639, 479, 697}},
      {kRebuild, {1, 639, 159, 697}},
      {kAddFriend, {161, 639, 319, 697}},
      {kAvatar, {30, 14, 120, 104}},
  };

  static constexpr uintptr_t kTreeId = 666;
  static constexpr uintptr_t kReloginTimer = 20;
  static constexpr int kReloginMs = 35000;
  static constexpr uintptr_t kNamesTimer = 25;
  static constexpr std::chrono::seconds kPresenceSettleTime{10};
  static constexpr int kNamesMs = 3000;

  struct Options {
    screens::LoginConfig login;
    // The sign-in step; unset: the login screen. True when signed in.
    std::function<bool()> sign_in;
  };
  // A box the window showed (for tests and diagnostics).
  struct ShownBox {
    std::u16string title, text;
  };

  explicit CBriskLibTavrin(Options options,
                           controls::UiContext ui = controls::UiContext::current());
  ~CBriskLibTavrin() override;

  // Signs in, builds the window and runs it until the user leaves; the
  // process exit code (0 also when the login screen was left).
  int run();
  // The first steps of run(): sign in, build, show and activate; false when
  // the sign-in did not succeed.
  bool start();
  // Set when the window has asked the process to end, with its code.
  bool finished() const { return finished_; }
  int exit_code() const { return exit_code_; }

  // --- state, for the screens and for tests ---
  bool logged_in() const override { return logged_in_; }
  bool auto_relogin() const { return auto_relogin_; }
  // The user signed out ("注销塔文"): offline until signing in again.
  bool signed_out() const { return !logged_in_ && !auto_relogin_; }
  int relogin_attempts() const { return relogin_attempts_; }
  const std::u16string& name_label() const { return name_label_; }
  const std::u16string& mood() const { return mood_; }
  const std::u16string& number_label() const { return number_label_; }
  const std::u16string& notice() const { return notice_; }
  const std::vector<ShownBox>& boxes() const { return boxes_; }
  CContactTree& tree() { return tree_; }
  ContactTreeModel& model() { return model_; }
  Notifier& notifier() { return *notifier_; }
  const SendReports& reports() const { return reports_; }
  const screens::chat::Outbox& outbox() const { return outbox_; }
  const controls::CPopupMenu& menu() const { return menu_; }
  screens::ChatWindow* chat() const { return chat_.get(); }

  // --- operations other screens use ---
  void open_chat(uint32_t contact_id);
  void mark_recent(uint32_t contact_id, bool new_message);
  void rebuild_tree();
  void show_notice(std::u16string text);
  // A contact's new data as the engine reports it: its items, the counts,
  // and a repaint of what changed on the screen.
  void contact_updated(const ContactRecord& contact);

  // --- MainWindowLink ---
  std::vector<screens::ChatListEntry> recent_contacts() const override;
  std::vector<screens::ChatListEntry> conversations() const override;
  std::vector<std::u16string> take_pending(long contact_id) override;
  void mark_read(long contact_id) override;
  std::uint64_t line_sending(long contact_id, const std::u16string& text,
                             std::int64_t rowid) override;

  // --- the whole window, for benchmarks ---
  void repaint_now();

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_stylus(platform::StylusAction action, controls::Point p) override;
  void on_command(int command) override;
  void on_menu(int menu_id, int index) override;
  void on_timer(uintptr_t timer_id) override;
  bool on_engine(bridge::EngineMessage& m) override;
  void on_activate(bool active) override;
  intptr_t on_message(const platform::Message& m) override;

 private:
  // Building.
  void build_header();
  void build_background();
  void register_callback();
  // Opens the signed-in user's chat log; lines an earlier run left pending
  // are failed there.
  void open_chat_log();
  // The session ends: the lines still waiting for a result are failed, on
  // screen and in the log.
  void fail_unanswered();
  // Drawing.
  bool can_present() const;
  void refresh(const ContactTreeModel::Touched& touched);
  // Redraws and presents the window rows [top, bottom).
  void repaint_rows(int top, int bottom);
  void draw_band(gfx::Painter& p, const controls::Rect& band);
  void draw_header(gfx::Painter& p);
  // A new theme: skins, background and every part drawn again at once.
  void apply_theme();
  // Taps and menus.
  void show_menu(int id);
  void main_menu(int index);
  void sms_menu(int index);
  void contacts_menu(int index);
  void search_menu(int index);
  void settings_menu(int index);
  int open_screen(screens::Route route, long contact_id = 0, int group_id = 0, int mode = 0);
  void after_screen(int result, bool transition);
  // The profile screen of that contact (0: the chosen one).
  void open_details(int mode, long contact_id = 0);
  // Offers the buddy lists to move the chosen contact to.
  void show_move_menu(long contact_id, const std::u16string& name);
  void apply_status_choice(int index);
  void leave();
  bool sign_in();  // the login screen, modal; true when signed in
  void sign_out();
  void sign_in_again();
  // Header and tree in the offline state; nothing can be sent.
  void go_offline();
  static ContactRecord offline(ContactRecord c);
  // The store as the tree shows it: everyone offline while signed out.
  StoreSnapshot shown_store() const;
  bool selected(controls::TreeItem* out) const;
  // Runs a change of the tree's rows and keeps the chosen contact chosen
  // (at its new place in the same section), or nothing chosen when it left.
  void keep_selection(const std::function<void()>& change);
  // Engine messages.
  void contact_changed(long id);
  void route_message(long contact_id, const std::u16string& text);
  // Takes the contact's lines from the engine into the chat log the moment
  // they arrive, so none is lost when the user never opens the chat.
  // Logs the contact's waiting lines; the text of the newest, for the
  // desktop's notification (empty when they wait for the chat, without a
  // log); nullopt when none was kept (each was a delivery report an open
  // SMS screen took).
  std::optional<std::u16string> keep_received(long contact_id, const std::u16string& name);
  void send_result(bridge::EngineMessage& m);
  void command_result(int code);
  void network_error();
  void relogin();
  void relogin_complete();
  void logged_in_elsewhere();
  int box(std::u16string text, std::u16string title = u"塔文提示", int type = 1,
          bool timed = false);
  void note_conversation(uint32_t contact_id);

  Options options_;
  CContactTree tree_;
  ContactTreeModel model_{tree_.sections()};
  controls::CPopupMenu menu_;
  gfx::CSurface background_;
  std::unique_ptr<Notifier> notifier_;
  SendReports reports_;
  screens::chat::Outbox outbox_;              // sent lines waiting for their result
  std::optional<storage::ChatLogStore> log_;  // the signed-in user's chat log

  bool logged_in_ = false;
  // Presence floods in after each login: friends "coming online" before
  // this moment are not announced on the desktop.
  std::chrono::steady_clock::time_point online_notes_from_{};
  bool auto_relogin_ = true;
  bool active_ = false;
  bool dirty_ = false;      // something changed while the window could not present
  bool net_box_ = false;    // the network-error box is up
  bool relogging_ = false;  // a relogin cycle runs (timer 20)
  int silence_ = 0, sound_ = 0, vibrate_ = 1;  // the settings' switches
  int relogin_attempts_ = 0;
  bool finished_ = false;
  bool leaving_ = false;    // 退出塔文 chosen: the closing note shows until the window goes
  int exit_code_ = 0;
  bool store_failure_told_ = false;  // the box about a line not stored was shown

  std::u16string name_label_, mood_, number_label_, notice_;
  bool encrypted_ = false;  // the session's connection speaks TLS (shown in the header)
  long number_ = 0;
  int own_state_ = 66;

  std::unique_ptr<screens::ChatWindow> chat_;
  long chat_contact_ = 0;
  std::vector<uint32_t> conversations_;                   // most recent first
  std::vector<std::pair<long, std::u16string>> pending_;  // send reports for the chat window
  std::vector<ShownBox> boxes_;
  std::set<uint32_t> deleted_;  // deleted this session; presence does not bring them back
  // "移动到组": the contact being moved and the lists its menu offers.
  long moving_ = 0;
  std::vector<BuddyList> move_targets_;
};

}  // namespace tavrin::mainwnd
