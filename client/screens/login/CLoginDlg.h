// CLoginDlg: the login screen, the first screen the user sees. Account and
// masked password boxes pre-filled from the saved accounts, the status,
// theme and settings pop-ups, the exit question and the about box; the
// login key brings the network up, turns an 11-digit mobile number into a
// Tavrin number through the HTTPS sign-in lookup, and starts the engine's
// login, whose progress codes it shows until the login succeeds (the
// account, password and server address are then saved and the screen
// closes) or fails (the screen stays, ready for the next attempt).
//
// The engine's progress callback posts to this window through the engine
// bridge; every engine call is made on the UI thread. UI thread only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "controls/CEditWnd.h"
#include "controls/CPopupMenu.h"
#include "controls/Screen.h"
#include "storage/SavedAccountStore.h"

namespace tavrin::screens {

struct LoginConfig {
  std::filesystem::path database;  // the history database (saved accounts)
  std::string signin_url;          // "https://host[:port]" of the sign-in lookup
  std::string ca_file;             // CAs for the lookup; empty: the process default
  // A SIP-C proxy given on the command line: used instead of the saved one.
  std::u16string server_override;
  bool auto_dial = true;           // bring the network up before each login
  int network_timeout_ms = 25000;  // per bring-up attempt
};

class CLoginDlg : public controls::Screen {
 public:
  // Layout, window coordinates.
  static constexpr controls::Rect kAccountBox{150, 145, 380, 195};
  static constexpr controls::Rect kPasswordBox{150, 225, 380, 275};
  static constexpr controls::Rect kAccountLabel{20, 145, 145, 195};
  static constexpr controls::Rect kPasswordLabel{20, 225, 145, 275};
  static constexpr controls::Rect kLogo{90, 15, 390, 125};
  static constexpr controls::Rect kForm{20, 132, 460, 462};  // the panel under the form
  static constexpr controls::Rect kStatusLine{50, 370, 440, 410};
  static constexpr controls::Rect kProgressLine{50, 410, 440, 450};
  static constexpr controls::Rect kLoginButton{90, 300, 390, 356};
  static constexpr controls::Rect kSoftBar = controls::kSoftKeyBar;

  // The soft-key bar's five keys, 96 pixels each, as commands.
  enum Tap { kLogin = 1, kStatus, kTheme, kSettings, kExit };
  // Menu ids of the pop-ups.
  static constexpr int kStatusMenu = 1;
  static constexpr int kThemeMenu = 2;
  static constexpr int kSettingsMenu = 3;

  explicit CLoginDlg(LoginConfig config, controls::UiContext ui = controls::UiContext::current());
  ~CLoginDlg() override;

  // Runs the screen; 1 when the login succeeded (see login_succeeded()).
  int run_modal();

  bool login_succeeded() const { return succeeded_; }
  bool logging_in() const { return logging_in_; }
  const std::u16string& progress() const { return progress_; }
  const std::u16string& status_text() const { return status_text_; }
  int status_code() const { return status_code_; }
  std::u16string account() const;
  const std::u16string& server_address() const { return server_address_; }
  controls::CEditWnd& account_box() { return account_; }
  controls::CEditWnd& password_box() { return password_; }

  // The login key (soft key, button, menu command or Enter).
  void login_key();
  // Status pop-up entry 0-3: 66 在线, 68 隐身, 69 离开, 67 忙碌.
  void choose_status(int index);

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_tap(controls::Point p) override;
  void on_command(int command) override;
  void set_keys();
  bool on_key(uint32_t key_code) override;
  void on_menu(int menu_id, int index) override;
  bool on_engine(bridge::EngineMessage& m) override;

 private:
  void load_saved();
  // 塔文号 changed: that account's own saved password, or none.
  void account_changed();
  void save_login();
  bool bring_network_up();
  // The address for the engine: the one in use with the switch applied.
  std::u16string address_to_use() const;
  bool lookup_number(std::u16string& account, const std::u16string& password);
  void fail(std::u16string text);
  void set_progress(std::u16string text);
  void show_menu(int id);
  void settings_entry(int index);
  void confirm_exit();

  LoginConfig config_;
  controls::CEditWnd account_, password_;
  std::vector<storage::SavedAccount> saved_;  // as loaded
  std::u16string filled_for_;  // the account whose saved password is in the box, if any
  controls::CPopupMenu menu_;
  std::u16string progress_;
  std::u16string server_address_;  // "tls://host:port" over TLS, as the engine names it
  std::u16string status_text_ = u"在线";
  int status_code_ = 66;
  // The 加密连接 switch: SIP-C over TLS, never plain. Follows the address
  // in use ("tls://") and is kept with it when the login is saved.
  bool tls_ = false;
  bool logging_in_ = false;
  bool succeeded_ = false;
  bool connected_ = false;
  bool auto_dial_ = true;
  bool save_ = true;
};

}  // namespace tavrin::screens
