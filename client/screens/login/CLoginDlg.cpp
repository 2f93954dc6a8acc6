#include "screens/login/CLoginDlg.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "bridge/EngineBridge.h"
#include "controls/CMsgBoxDlg.h"
#include "controls/ShellBars.h"
#include "libtavrin.h"
#include "platform/network.h"
#include "platform/signin_lookup.h"
#include "platform/text_codec.h"
#include "screens/login/SecretKeeper.h"
#include "screens/router/ScreenRouter.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "shell/theme_presets.h"
#include "storage/SavedAccountStore.h"
#include "storage/ServerAddressStore.h"
#include "storage/StorageGuard.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr char16_t kCaption[] = u"塔文提示";
constexpr char16_t kCancelled[] = u"您已取消登陆";
constexpr char16_t kAbout[] =
    u"塔文 BriskLibTavrin\n即时消息与短信客户端\n联系：support@tavrin.local";

// The four statuses of the status pop-up, in its order.
struct StatusChoice {
  int code;
  const char16_t* text;
};
constexpr StatusChoice kStatuses[] = {{66, u"在线"}, {68, u"隐身"}, {69, u"离开"}, {67, u"忙碌"}};

// What each progress code of a login shows, and whether it ends the login.
struct Progress {
  int code;
  const char16_t* text;
  bool fails;
};
constexpr Progress kProgress[] = {
    {1, u"正在连接服务器", false},
    {2, u"正在验证用户名和密码", false},
    {3, u"验证用户名和密码成功", false},
    {4, u"登陆失败：塔文号或密码不对", true},  // 401/406, or no such number
    {5, u"网络错误", true},
    {6, u"登陆出现未知错误", true},
    {7, u"用户名错误", true},
    {8, u"正在获取联系人列表", false},
    {9, u"获取联系人列表成功", false},
    {10, u"获取联系人列表失败", true},
    {11, u"正在获取联系人信息", false},
    {12, u"获取联系人信息成功 ", false},
    {13, u"获取联系人信息失败", true},
    {14, u"登陆成功", false},
    {241, u"塔文号错误", true},
};

constexpr std::u16string_view kTlsScheme = u"tls://";

bool is_tls(std::u16string_view address) {
  return address.substr(0, kTlsScheme.size()) == kTlsScheme;
}

// The service's answer while it slows logins after wrong passwords.
constexpr intptr_t kSlowedStatus = 403;
constexpr const char16_t* kSlowedText = u"密码错误次数过多，登录已放慢，请稍后再试";

const Progress* progress_of(int code) {
  for (const auto& p : kProgress)
    if (p.code == code) return &p;
  return nullptr;
}

void log_storage(const char* what, const storage::CppSQLite3Exception& failure) {
  std::fprintf(stderr, "tavrin: %s: %s\n", what, utf16_to_utf8(failure.errorMessage()).c_str());
}

}  // namespace

CLoginDlg::CLoginDlg(LoginConfig config, controls::UiContext ui)
    : controls::Screen({.class_name = "CLoginDlg", .title = u"BriskTavrin"}, std::move(ui)),
      config_(std::move(config)) {
  auto_dial_ = config_.auto_dial;
  set_keys();
  // The start-up setting 1-4 (online, hidden, away, busy) is the pop-up's order.
  const int setting = shell::client_settings().login_status;
  const StatusChoice& s = kStatuses[setting >= 1 && setting <= 4 ? setting - 1 : 0];
  status_code_ = s.code;
  status_text_ = s.text;
}

CLoginDlg::~CLoginDlg() {
  destroy();
}

int CLoginDlg::run_modal() {
  controls::Screen::run_modal();
  // A screen left while the engine still logs in must not leave it running.
  if (logging_in_ && !succeeded_) fx_cancel_login();
  logging_in_ = false;
  // The keyboard belonged to the boxes; the next screen starts without it.
  if (controls::sip_shown() == 1) controls::sip_hide();
  destroy();
  return succeeded_ ? 1 : 0;
}

std::u16string CLoginDlg::account() const {
  return account_.text();
}

bool CLoginDlg::on_create() {
  account_.create(window(), kAccountBox, 16);
  password_.create(window(), kPasswordBox, 32);
  password_.set_password(true);
  account_.set_on_change([this] { account_changed(); });
  password_.set_on_change([this] { filled_for_.clear(); });  // typed: the user's own
  load_saved();
  tls_ = is_tls(config_.server_override.empty() ? server_address_ : config_.server_override);
  windows().set_focus(account_.window());
  return true;
}

void CLoginDlg::on_destroy() {
  menu_.close();
  account_.destroy();
  password_.destroy();
}

void CLoginDlg::load_saved() {
  const storage::SavedAccountStore accounts(config_.database, saved_password_keeper());
  const storage::ServerAddressStore servers(config_.database);
  std::optional<std::vector<storage::SavedAccount>> rows;
  if (auto failure = storage::tryStorage([&] { rows = accounts.load(); }))
    log_storage("cannot read the saved accounts", *failure);
  if (rows) {
    saved_ = *rows;
    const storage::SavedAccount saved = storage::SavedAccountStore::prefill(*rows);
    account_.set_text(saved.account);
    password_.set_text(saved.password);
    if (!saved.password.empty()) filled_for_ = saved.account;
    std::optional<std::u16string> address;
    if (auto failure = storage::tryStorage([&] { address = servers.loadLast(); }))
      log_storage("cannot read the saved server address", *failure);
    if (address) server_address_ = *address;
  }
}

void CLoginDlg::account_changed() {
  const std::u16string account = account_.text();
  // Saved passwords come back as at start: only a 9-digit account's.
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
    if (it->account == account && account.size() == 9 && !it->password.empty()) {
      password_.set_text(it->password);
      filled_for_ = account;
      password_.repaint();
      return;
    }
  // Another account's saved password never stays in the box; a password
  // the user typed does.
  if (!filled_for_.empty()) {
    password_.clear();
    filled_for_.clear();
    password_.repaint();
  }
}

void CLoginDlg::save_login() {
  const storage::SavedAccountStore accounts(config_.database, saved_password_keeper());
  const storage::ServerAddressStore servers(config_.database);
  const std::u16string account = account_.text(), password = password_.text();
  // A failed save costs the user only the pre-filled boxes next time.
  if (auto failure = storage::tryStorage([&] { accounts.save(account, password); }))
    log_storage("cannot save the account", *failure);
  if (auto failure = storage::tryStorage([&] { servers.append(server_address_); }))
    log_storage("cannot save the server address", *failure);
}

void CLoginDlg::set_progress(std::u16string text) {
  progress_ = std::move(text);
  repaint();
}

void CLoginDlg::fail(std::u16string text) {
  logging_in_ = false;
  set_progress(std::move(text));
}

void CLoginDlg::login_key() {
  // 1. A second press cancels the login under way.
  if (logging_in_) {
    fx_cancel_login();
    fail(kCancelled);
    return;
  }
  // 2-3. The boxes.
  logging_in_ = true;
  succeeded_ = false;
  std::u16string account = account_.text();
  const std::u16string password = password_.text();
  if (account.empty()) return fail(u"请输入塔文号码");
  if (account.size() != 8 && account.size() != 9 && account.size() != 11)
    return fail(u"请输入正确的塔文号码");
  if (password.empty()) return fail(u"请输入密码");
  // 4. The network.
  if (auto_dial_ && !bring_network_up()) {
    set_progress(u"网络连接错误...");
    fx_cancel_login();
    return fail(kCancelled);
  }
  // 5. A mobile number signs in as the Tavrin number the sign-in server names.
  if (account.size() == 11) {
    set_progress(u"正在获取塔文号...");
    if (!lookup_number(account, password) || (account.size() != 8 && account.size() != 9))
      return fail(u"获取塔文号失败...");
    account_.set_text(account);
    set_progress(u"成功获取塔文号...");
  }
  // 6-8. The engine's login; its progress arrives as engine messages.
  set_progress(u"登陆中...");
  const std::u16string server = address_to_use();
  if (!server.empty())
    fx_set_serve_address(utf16_to_utf8(server).c_str());
  else
    fx_set_unknow_serve_address();  // navigation decides, and no earlier TLS demand stays
  fx_set_login_status(status_code_);
  if (fx_login(utf16_to_utf8(account).c_str(), utf16_to_utf8(password).c_str(),
               bridge::post_callback, bridge::user_data(window())) == 0) {
    // The engine refused to start (a login or session still runs).
    fx_cancel_login();
    return fail(u"登陆出现未知错误");
  }
  repaint();
}

std::u16string CLoginDlg::address_to_use() const {
  std::u16string server = config_.server_override.empty() ? server_address_ : config_.server_override;
  if (is_tls(server)) server.erase(0, kTlsScheme.size());
  // With the switch on and no address, "tls://" alone: TLS at the address
  // navigation names.
  return tls_ ? std::u16string(kTlsScheme) + server : server;
}

bool CLoginDlg::bring_network_up() {
  set_progress(u"连接网络...");
  connected_ = true;
  uint64_t handle = Network::connect(Network::Destination::kWork, config_.network_timeout_ms);
  if (!handle)
    handle = Network::connect(Network::Destination::kInternet, config_.network_timeout_ms);
  connected_ = handle != 0;
  if (handle) Network::release(handle);
  set_progress(connected_ ? u"网络连接成功..." : u"网络连接失败...");
  // A failure stays in view long enough to be read; success goes straight on.
  if (!connected_) std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return connected_;
}

bool CLoginDlg::lookup_number(std::u16string& account, const std::u16string& password) {
  const SigninLookup found = signin_lookup(config_.signin_url, utf16_to_utf8(account),
                                           utf16_to_utf8(password), config_.ca_file);
  if (!found.ok) {
    std::fprintf(stderr, "tavrin: sign-in lookup failed: %s\n", found.error.c_str());
    return false;
  }
  account = utf8_to_utf16(found.tavrin_number);
  return true;
}

bool CLoginDlg::on_engine(bridge::EngineMessage& m) {
  const Progress* p = progress_of(m.code());
  if (!p) {
    // A code the login does not name changes nothing on the screen. The
    // presence of every contact arrives this way while a login runs: one
    // paint once the burst is handled, not one per contact.
    invalidate();
    return true;
  }
  progress_ = p->text;
  // A TLS failure says so: nothing was sent, and it is no network fault.
  if (m.code() == FX_MSG_LOGIN_FAILED && (m.p1() == FX_TLS_UNTRUSTED || m.p1() == FX_TLS_NAME))
    progress_ = u"服务器证书验证失败";
  else if (m.code() == FX_MSG_LOGIN_FAILED && m.p1() == FX_TLS_HANDSHAKE)
    progress_ = u"加密连接失败";
  // 5 with the service's 403: logins of this account are held back after
  // wrong passwords; saying so keeps the user from taking it for the network.
  else if (m.code() == FX_MSG_LOGIN_FAILED && m.p1() == kSlowedStatus)
    progress_ = kSlowedText;
  if (p->fails) {
    fx_cancel_login();
    logging_in_ = false;
  }
  if (m.code() == FX_MSG_LOGIN_OK) {
    succeeded_ = true;
    logging_in_ = false;
    if (char* in_use = fx_get_serve_address()) {
      server_address_ = utf8_to_utf16(in_use);
      std::free(in_use);
    }
    if (save_) save_login();
    repaint();
    end_modal(1);
    return true;
  }
  repaint();
  return true;
}

void CLoginDlg::choose_status(int index) {
  if (index < 0 || index >= int(std::size(kStatuses))) return;
  status_code_ = kStatuses[index].code;
  status_text_ = kStatuses[index].text;
  repaint();
}

void CLoginDlg::show_menu(int id) {
  menu_.close();
  menu_.clear();
  menu_.set_id(id);
  const auto& presets = shell::theme_presets();
  int count = 4, left = 0;
  switch (id) {
    case kStatusMenu:
      menu_.set_title(u"状态");
      left = 96;
      break;
    case kThemeMenu:
      menu_.set_title(u"主题");
      count = int(presets.size());
      left = 140;
      break;
    default:
      menu_.set_title(u"设置");
      count = 5;
      left = 270;
      break;
  }
  const int bottom = 738;
  const int top =
      bottom - controls::CPopupMenu::kTitleHeight - count * controls::CPopupMenu::kItemHeight;
  menu_.set_rect({left, top, left + 200, bottom});
  if (id == kStatusMenu)
    for (const auto& s : kStatuses) menu_.add_item(s.text);
  else if (id == kThemeMenu)
    for (const auto& preset : presets) menu_.add_item(std::u16string(preset.label));
  else
    for (const char16_t* item : {u"登陆设置", u"主题设置", u"退出软件", u"关于软件",
                                 tls_ ? u"加密连接：开" : u"加密连接：关"})
      menu_.add_item(item);
  menu_.show(window());
}

void CLoginDlg::on_menu(int menu_id, int index) {
  switch (menu_id) {
    case kStatusMenu:
      choose_status(index);
      break;
    case kThemeMenu: {
      const auto& presets = shell::theme_presets();
      if (index < 0 || index >= int(presets.size())) break;
      shell::apply_preset(presets[size_t(index)], *ui().theme);
      // The look stays chosen for the next start.
      if (!shell::save_theme(shell::app_paths().theme_file(), *ui().theme))
        std::fprintf(stderr, "tavrin: cannot write the theme file\n");
      repaint();
      account_.repaint();
      password_.repaint();
      break;
    }
    case kSettingsMenu:
      settings_entry(index);
      break;
    default:
      break;
  }
}

void CLoginDlg::settings_entry(int index) {
  switch (index) {
    case 0: {
      // The settings screen opens on the status to sign in with and
      // answers with the one chosen there.
      static constexpr StatusChoice kBySetting[] = {
          {66, u"在线"}, {68, u"隐身"}, {67, u"忙碌"}, {69, u"离开"}};
      int current = 0;
      for (int i = 0; i < 4; ++i)
        if (kBySetting[i].code == status_code_) current = i;
      const int chosen = ScreenRouter::instance().open(
          {.route = Route::kSettings, .owner = window(), .mode = current, .offline = true});
      if (chosen >= 0 && chosen < 4) {
        status_code_ = kBySetting[chosen].code;
        status_text_ = kBySetting[chosen].text;
      }
      repaint();
      break;
    }
    case 1:
      if (ScreenRouter::instance().open({.route = Route::kThemePicker, .owner = window()}) == 1)
        repaint();
      break;
    case 2:
      confirm_exit();
      break;
    case 3:
      controls::CMsgBoxDlg::show(window(), kAbout, kCaption);
      break;
    case 4:
      tls_ = !tls_;
      repaint();
      break;
    default:
      break;
  }
}

void CLoginDlg::confirm_exit() {
  if (controls::CMsgBoxDlg::show(window(), u"请确认是否真的要退出塔文！", kCaption,
                                 controls::CMsgBoxDlg::kYesNo) == 1)
    end_modal(0);
}

void CLoginDlg::on_tap(Point p) {
  if (kLoginButton.contains(p)) login_key();
}

void CLoginDlg::on_command(int command) {
  switch (command) {
    case kLogin:
      login_key();
      break;
    case kStatus:
      show_menu(kStatusMenu);
      break;
    case kTheme:
      show_menu(kThemeMenu);
      break;
    case kSettings:
      show_menu(kSettingsMenu);
      break;
    case kExit:
      confirm_exit();
      break;
  }
}

bool CLoginDlg::on_key(uint32_t key_code) {
  if (key_code == key::kReturn) {
    login_key();
    return true;
  }
  return key_code == key::kEscape;  // swallowed: the screen is left only by 退出
}

void CLoginDlg::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  const unsigned line = text::kLeft | text::kVCenter | text::kSingleLine;
  const unsigned caption = text::kCenter | text::kVCenter | text::kSingleLine;
  p.fill_rect({0, 0, 480, 800}, t.bg_color, 255);
  const auto file = shell::app_paths().resolve(t.login_bk_path);
  const bool photo = !t.login_bk_path.empty() && p.picture(file.string(), {0, 0, 480, 800}) &&
                     shell::app_paths().is_own_picture(file);
  p.image(skin("TavrinLogo.png"), kLogo.left, kLogo.top);
  // The form on one panel, so its text reads on any background.
  // Over the user's own photo the panel alone may not be enough: a shade
  // under it keeps the form readable whatever the photo holds.
  if (photo) p.veil(kForm, {t.menu_text_color});
  p.fill_rounded(kForm, t.menu_bk_color, std::min(t.menu_bg_alpha, 200));
  p.text(u"塔文号", kAccountLabel, 30, t.menu_text_color, line);
  p.text(u"密    码", kPasswordLabel, 30, t.menu_text_color, line);
  p.glossy_panel(kLoginButton, t.btn_bk_color, 0xFFFFFF, t.btn_bg_alpha, 6);
  p.highlight_cap(kLoginButton);
  p.text(logging_in_ ? u"取消登录" : u"登录", kLoginButton, 30, t.btn_text_color, caption);
  std::u16string status = u"登录状态：" + status_text_;
  if (auto_dial_) status += u"(自动拨号)";
  if (tls_) status += u"(加密)";
  // A long status or progress ("请输入正确的塔文号码") takes a smaller face
  // rather than lose its end.
  p.fitted_text(status, kStatusLine, 28, 20, t.menu_text_color, line);
  p.fitted_text(u"登录进度：" + progress_, kProgressLine, 28, 20, t.menu_text_color, line);
  set_keys();
}

void CLoginDlg::set_keys() {
  // The first key follows the login.
  const char16_t* keys[] = {logging_in_ ? u"取消" : u"登录", u"状态", u"主题", u"设置", u"退出"};
  std::vector<controls::SoftKey> bar;
  for (int i = 0; i < 5; ++i)
    bar.push_back({keys[i], {i * 96, kSoftBar.top, (i + 1) * 96, kSoftBar.bottom}, kLogin + i});
  set_soft_keys(std::move(bar));
}

}  // namespace tavrin::screens
