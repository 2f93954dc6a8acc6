// The main window's life, drawing and input; its menus are in
// CBriskLibTavrin_menus.cpp and its engine messages in
// CBriskLibTavrin_engine.cpp.
#include "mainwnd/CBriskLibTavrin.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "bridge/EngineBridge.h"
#include "controls/CMsgBoxDlg.h"
#include "controls/PressEffect.h"
#include "libtavrin.h"
#include "mainwnd/header_texts.h"
#include "mainwnd/main_menus.h"
#include "platform/display.h"
#include "screens/chat/ChatLines.h"
#include "screens/chat/ChatText.h"
#include "shell/app.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "storage/StorageGuard.h"

namespace tavrin::mainwnd {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr const char* kSkins[] = {"TavrinActInfo.png", "NewSMS.png",          "BriskTreeFlag.png",
                                  "TavrinOper.png",    "TavrinAddSearch.png", "TavrinStatus.png"};

// One centred line of the header: across the whole width while it keeps
// clear of the avatar, else centred right of it and cut with "…".
void header_line(gfx::Painter& p, std::u16string_view text, Rect rect, int height,
                 uint32_t colour) {
  const unsigned centred = text::kCenter | text::kVCenter | text::kSingleLine;
  const platform::Font* font = gfx::Painter::font(height);
  if (!font) return;
  const int clear = rect.width() - 2 * CBriskLibTavrin::kHeaderTextLeft;
  if (font->text_width(text) <= clear) {
    p.text(text, rect, height, colour, centred);
    return;
  }
  const Rect right{CBriskLibTavrin::kHeaderTextLeft, rect.top, CBriskLibTavrin::kHeaderTextRight,
                   rect.bottom};
  p.text(font->fitted(text, right.width()), right, height, colour, centred);
}

}  // namespace

CBriskLibTavrin::CBriskLibTavrin(Options options, controls::UiContext ui)
    : Screen({.class_name = "CBriskLibTavrin", .title = u"BriskTavrin"}, std::move(ui)),
      options_(std::move(options)) {
  // The user's switches between runs; a missing file keeps the defaults.
  (void)shell::load_settings(shell::app_paths().settings_file(), shell::client_settings());
  const auto& s = shell::client_settings();
  silence_ = s.silence, sound_ = s.sound, vibrate_ = s.vibrate;
}

CBriskLibTavrin::~CBriskLibTavrin() {
  destroy();
}

int CBriskLibTavrin::run() {
  if (!start()) return 0;
  (void)Screen::run_modal();
  return exit_code_;
}

bool CBriskLibTavrin::sign_in() {
  // The login screen (or the step a test gives).
  if (options_.sign_in) return options_.sign_in();
  screens::CLoginDlg login(options_.login, ui());
  return login.run_modal() == 1 && login.login_succeeded();
}

bool CBriskLibTavrin::start() {
  // 1. The login screen.
  if (!sign_in()) {
    finished_ = true;
    exit_code_ = 0;
    return false;
  }
  // 2. The header; 3-9 when the window is made.
  logged_in_ = true;
  open_chat_log();
  online_notes_from_ = std::chrono::steady_clock::now() + kPresenceSettleTime;
  build_header();
  if (!create()) return false;
  windows().show(window(), true);
  windows().set_active(window());
  windows().set_focus(window());
  return true;
}

bool CBriskLibTavrin::on_create() {
  notifier_ = std::make_unique<Notifier>(window());
  notifier_->set_switches(silence_, sound_, vibrate_);
  // A click on a desktop notification: the client comes forward, at the
  // contact's chat unless a screen is open over the main window.
  notifier_->set_open_chat([this](uint32_t contact) {
    if (auto* app = shell::CBriskLibTavrinApp::instance()) app->activate_running_instance();
    if (window() && windows().enabled(window())) open_chat(contact);
  });
  // 4-5. Background, composition surface (the base's), skin images.
  for (const char* file : kSkins) (void)skin(file);
  build_background();
  // 6. The contact tree, display x 0-480, y 165-690.
  const Rect view = to_screen(kTreeView);
  if (!tree_.create(window(), view.left, view.top, view.right, view.bottom)) return false;
  tree_.set_id(kTreeId);
  tree_.set_background(&background_, {0, Display::kTaskBarHeight});
  add_list(tree_);
  // Five soft keys of 96 pixels across the main window's own bar.
  set_frame({.keys = {{u"查找", {0, 698, 96, 748}, kSearch},
                      {u"个人", {96, 698, 192, 748}, kMine},
                      {u"短信", {192, 698, 288, 748}, kSmsCommand},
                      {u"操作", {288, 698, 384, 748}, kOperationsCommand},
                      {u"设置", {384, 698, 480, 748}, kSettings}},
             .bar = kSoftKeyBar});
  set_tap_areas(kTaps);
  tree_.set_images(&skin("TavrinStatus.png"), &skin("NewSMS.png"), &skin("BriskTreeFlag.png"));
  model_.build(shown_store());
  tree_.layout_only();
  // 7. Every engine message comes here from now on.
  register_callback();
  // 8. Names that are still bare numbers are asked for once.
  set_timer(kNamesTimer, kNamesMs);
  return true;
}

void CBriskLibTavrin::on_destroy() {
  fx_set_system_msg_cb(nullptr, nullptr);
  fail_unanswered();
  kill_timer(kReloginTimer);
  kill_timer(kNamesTimer);
  menu_.close();
  chat_.reset();
  tree_.destroy();
  background_.free();
  notifier_.reset();
}

void CBriskLibTavrin::open_chat_log() {
  log_.emplace(screens::chat::signed_in_chat_log());
  // A line still pending in the log was sent by a client that ended before
  // its result: none can come now. A line waits 30 s at most for its result,
  // so such lines are among the last the earlier run logged.
  constexpr std::int64_t kNewestRows = 10000;
  (void)storage::tryStorage([&] {
    log_->replacePrefix(screens::chat::kPendingPrefix, screens::chat::kFailedPrefix, kNewestRows);
  });
}

void CBriskLibTavrin::fail_unanswered() {
  for (const screens::chat::Outbox::Settled& s : outbox_.abandon())
    screens::chat::show_settled(s, log_ ? &*log_ : nullptr, chat_.get());
}

void CBriskLibTavrin::register_callback() {
  fx_set_system_msg_cb(bridge::post_callback, bridge::user_data(window()));
}

void CBriskLibTavrin::build_header() {
  const OwnInfo own = read_own();
  number_ = own.number;
  own_state_ = own.state;
  name_label_ = own.nickname + status_suffix(own.state);
  mood_ = own.mood;
  number_label_ = mainwnd::number_label(number_);
  encrypted_ = false;
  if (char* address = fx_get_serve_address()) {
    encrypted_ = std::string_view(address).substr(0, 6) == "tls://";
    std::free(address);
  }
}

void CBriskLibTavrin::build_background() {
  // The theme's main background, the main frame over it and the avatar:
  // everything that does not change between frames (the soft keys are
  // the frame's).
  if (!background_.created() && !background_.create(window(), Display::kWidth, Display::kHeight))
    return;
  gfx::PixelCanvas canvas = background_.lock();
  gfx::Painter p(canvas);
  const auto& t = theme();
  const Rect whole{0, 0, Display::kWidth, Display::kHeight};
  p.fill_rect(whole, t.bg_color);
  // A picture that cannot be drawn (a missing file, one the client cannot
  // read) leaves the theme's general background, never the bare background
  // colour the list's colours may not read on.
  // A picture from outside the install folder (where the theme and its
  // packages lie) is the user's own, a photo: no one matched it to the
  // list's and the header's colours.
  bool own_picture = false;
  const auto drawn = [&](std::u16string_view path) {
    if (path.empty()) return false;
    const std::filesystem::path file = shell::app_paths().resolve(path);
    if (!p.picture(file.string(), whole)) return false;
    own_picture = shell::app_paths().is_own_picture(file);
    return true;
  };
  if (!drawn(t.main_bk_path) && !drawn(t.bk_path))
    (void)p.picture(ui().theme_folder + "bk.png", whole);
  p.image(skin("TavrinMainBk.png"), 0, 0);
  // A shade under the texts keeps them readable whatever the picture holds.
  if (own_picture) {
    p.veil(kTreeView, {t.list_text_color});
    p.veil(kHeaderStrip, {0xFFFFFF, 0xD0D0D0, t.menu_text_color});
  }
  const Rect avatar = controls::area_of(kTaps, kAvatar);
  p.image(skin("TavrinActInfo.png"), avatar.left, avatar.top);
}

void CBriskLibTavrin::apply_theme() {
  // The package brought new skin files and colours: the header, the tree's
  // images, the bottom bar and the soft keys all take them now.
  reload_skins();
  build_background();
  repaint_now();
}

// --- drawing ---

bool CBriskLibTavrin::can_present() const {
  // Behind another screen, under a menu or a notice, the display is theirs.
  return window() && windows().visible(window()) && windows().active() == window() &&
         !menu_.shown() && !(notifier_ && notifier_->notice().showing());
}

void CBriskLibTavrin::on_paint(gfx::Painter& p) {
  draw_band(p, {0, 0, Display::kWidth, Display::kHeight});
  if (leaving_) {
    // Signing out and closing take a moment: the screen says so at once.
    const auto& t = theme();
    const Rect note{60, 330, 420, 430};
    p.fill_rounded(note, t.msg_box_bk_color, 255);
    p.draw_rounded_frame(note, t.line_color);
    p.text(u"正在退出塔文，请稍候…", note, 28, p.legible(t.msg_box_text_color, note),
           platform::text::kCenter | platform::text::kVCenter | platform::text::kSingleLine);
  }
  dirty_ = false;
}

void CBriskLibTavrin::draw_band(gfx::Painter& p, const Rect& band) {
  p.save();
  p.clip(band);
  p.blit(background_.lock(), band, band.left, band.top);
  if (!band.intersect(kHeaderStrip).empty()) draw_header(p);
  const Rect rows = kTreeView.intersect(band);
  if (!rows.empty()) {
    gfx::PixelCanvas part = p.canvas().sub(rows);
    tree_.compose(part, rows.top - kTreeView.top);
  }
  p.restore();
}

void CBriskLibTavrin::draw_header(gfx::Painter& p) {
  // A long name shrinks to fit, then loses the end of the nickname to "…",
  // never its status.
  const size_t cut = std::min(name_label_.rfind(u'（'), name_label_.size());
  const std::u16string start = u"BriskLibTavrin For " + name_label_.substr(0, cut),
                       status = name_label_.substr(cut);
  int height = 28;
  for (const platform::Font* f; height > 20 && (f = gfx::Painter::font(height)) &&
                                f->text_width(start + status) > kNameLine.width();)
    --height;
  std::u16string name = start + status;
  if (const platform::Font* f = gfx::Painter::font(height))
    name = f->fitted(start, kNameLine.width() - f->text_width(status)) + status;
  p.text(name, kNameLine, height, 0xFFFFFF, text::kVCenter | text::kSingleLine);
  // An encrypted connection says so behind the number.
  const std::u16string number = encrypted_ ? number_label_ + u"  [加密]" : number_label_;
  if (!notice_.empty()) {
    header_line(p, notice_, kNotice, 30, theme().menu_text_color);
  } else if (mood_.empty()) {
    header_line(p, number, kSecondLine, 28, 0xFFFFFF);
  } else {
    const Rect& second = kSecondLine;
    const int mid = (second.top + second.bottom) / 2;
    header_line(p, number, {second.left, second.top + 2, second.right, mid}, 26, 0xFFFFFF);
    header_line(p, mood_, {second.left, mid, second.right, second.bottom - 2}, 24, 0xD0D0D0);
  }
}

void CBriskLibTavrin::repaint_now() {
  if (!can_present()) {
    dirty_ = true;
    return;
  }
  repaint();
}

void CBriskLibTavrin::repaint_rows(int top, int bottom) {
  if (!can_present()) {
    dirty_ = true;
    return;
  }
  const Rect band = Rect{0, top, Display::kWidth, bottom}.intersect(
      {0, 0, surface().width(), surface().height()});
  if (band.empty()) return;
  gfx::PixelCanvas canvas = surface().lock();
  if (!canvas.valid()) return;
  gfx::Painter p(canvas);
  draw_band(p, band);
  if (Display* d = Display::instance())
    d->present(window(), 0, band.top + Display::kTaskBarHeight, canvas.row(band.top), band.width(),
               band.height(), canvas.pitch());
}

void CBriskLibTavrin::refresh(const ContactTreeModel::Touched& touched) {
  if (!touched.any()) return;
  if (touched.layout) {
    tree_.layout_only();
    repaint_rows(kTreeView.top, kTreeView.bottom);
    return;
  }
  const auto& sections = tree_.sections();
  auto show = [this](const Rect& content) {
    const Rect r = tree_.on_screen(content.top, content.bottom);
    if (!r.empty())
      repaint_rows(r.top - Display::kTaskBarHeight, r.bottom - Display::kTaskBarHeight);
  };
  for (int s : touched.headers) show(sections[size_t(s)].rect);
  for (auto [s, i] : touched.rows) {
    const auto& sec = sections[size_t(s)];
    if (sec.expanded) show(sec.items[size_t(i)].rect);
  }
}

void CBriskLibTavrin::show_notice(std::u16string text) {
  notice_ = std::move(text);
  repaint_rows(kHeaderStrip.top, kHeaderStrip.bottom);
}

// --- input ---

void CBriskLibTavrin::on_stylus(StylusAction action, Point p) {
  // The tree had its share already (the base hands it the stylus first).
  if (action == StylusAction::kDown && !notice_.empty()) show_notice({});  // the header back
  if (action != StylusAction::kUp) return;
  if (controls::hit(kTaps, p))
    controls::PressEffect::play(window(), to_screen(p).x, to_screen(p).y);
  on_tap(p);
}

void CBriskLibTavrin::on_command(int command) {
  switch (command) {
    case kAddressBook:
      after_screen(open_screen(screens::Route::kAddressBook), false);
      break;
    case kRebuild:
      rebuild_tree();
      break;
    case kAddFriend:
      after_screen(open_screen(screens::Route::kAddFriend), true);
      break;
    case kAvatar:
    case kMine:
      show_menu(menu::kMain);
      break;
    case kSearch:
      show_menu(menu::kSearch);
      break;
    case kSmsCommand:
      show_menu(menu::kSms);
      break;
    case kOperationsCommand:
      show_menu(menu::kContacts);
      break;
    case kSettings:
      show_menu(menu::kSettings);
      break;
    default:
      break;
  }
}

void CBriskLibTavrin::on_timer(uintptr_t id) {
  if (id == kReloginTimer) {
    // No answer to the last attempt (or it failed): try again.
    if (relogging_ && auto_relogin_)
      relogin();
    else
      kill_timer(kReloginTimer);
  } else if (id == kNamesTimer) {
    kill_timer(kNamesTimer);
    for (uint32_t contact : model_.bare_number_ids()) fx_update_account_info_by_id(long(contact));
  } else if (notifier_) {
    notifier_->handle_timer({window(), msg::kTimer, id, 0});
  }
}

void CBriskLibTavrin::on_activate(bool active) {
  active_ = active;
  // The task-bar icon stands for the client while it is not in front.
  if (auto* app = shell::CBriskLibTavrinApp::instance())
    if (WindowId icon = app->task_bar_icon()) windows().show(icon, !active);
  if (active && dirty_) invalidate();
}

intptr_t CBriskLibTavrin::on_message(const Message& m) {
  switch (m.id) {
    case msg::kItemTapped:
      open_chat(uint32_t(m.lparam));
      return 0;
    // A stroke names the contact it was made over (lparam).
    case msg::kStrokeLeft:
      open_details(0, long(m.lparam));
      return 0;
    case msg::kStrokeRight:
    case msg::kOpenContactDetails:
      open_details(1, long(m.lparam));
      return 0;
    case msg::kBringForward:
      if (auto* app = shell::CBriskLibTavrinApp::instance()) app->activate_running_instance();
      return 0;
    default:
      return 0;
  }
}

// --- the tree and the chat window ---

void CBriskLibTavrin::rebuild_tree() {
  // The recent section outlives the rebuild: its new-message marks are the
  // user's only trace of lines still waiting.
  std::vector<controls::TreeItem> recent;
  if (!tree_.sections().empty()) recent = tree_.sections()[0].items;
  model_.build(shown_store());
  for (const auto& item : recent) {
    ContactRecord c{item.contact_id, item.group_id, item.name, item.status, item.mobile};
    if (auto fresh = read_contact(long(item.contact_id))) c = *fresh;
    if (!logged_in_) c = offline(c);
    model_.mark_recent(c, item.new_message);
  }
  tree_.select(-1, -1);
  tree_.layout_only();
  repaint_now();
}

ContactRecord CBriskLibTavrin::offline(ContactRecord c) {
  // Presence is not known without a session; what a contact is to the user
  // (not accepted, blocked, a mobile number) stays.
  if (c.status < 75) c.status = 68;
  c.mobile = false;
  return c;
}

StoreSnapshot CBriskLibTavrin::shown_store() const {
  StoreSnapshot store = read_store();
  if (!logged_in_)
    for (ContactRecord& c : store.contacts) c = offline(c);
  return store;
}

void CBriskLibTavrin::go_offline() {
  logged_in_ = false;
  if (chat_) chat_->set_logged_in(false);
  name_label_ = read_own().nickname + u"（离线）";
  notice_.clear();
  rebuild_tree();  // draws the header as well
}

void CBriskLibTavrin::mark_recent(uint32_t id, bool new_message) {
  std::optional<ContactRecord> c = read_contact(long(id));
  if (!c) {
    const controls::TreeItem* item = model_.find(id);
    if (!item) return;
    c = ContactRecord{id, item->group_id, item->name, item->status, item->mobile};
  }
  refresh(model_.mark_recent(*c, new_message));
}

void CBriskLibTavrin::note_conversation(uint32_t id) {
  std::erase(conversations_, id);
  conversations_.insert(conversations_.begin(), id);
}

void CBriskLibTavrin::open_chat(uint32_t id) {
  // 1. Read: the recent section lists the contact without a mark, and the
  // header's notice of it has done its work.
  if (!notice_.empty()) show_notice({});
  mark_recent(id, false);
  const controls::TreeItem* item = model_.find(id);
  if (!item) return;
  // 2. A contact that has not accepted the user cannot chat.
  if (item->status == 75) {
    box(u"对方不是你好友，无法聊天；是否再次发送好友请求？", u"塔文提示", 2);
    return;
  }
  // 3. The one chat window.
  note_conversation(id);
  if (chat_) {
    // "查看" on another contact's line while a chat is open: that chat.
    if (chat_->contact_id() != long(id)) {
      chat_->switch_to(long(id));
      chat_contact_ = long(id);
    }
    windows().show(chat_->window(), true);
    return;
  }
  const screens::ChatFactory factory = screens::chat_factory();
  if (!factory) return;
  chat_ = factory(long(id), window(), *this, false);
  if (!chat_) return;
  chat_contact_ = long(id);
  chat_->set_logged_in(logged_in_);
  (void)chat_->run_modal();
  chat_.reset();
  chat_contact_ = 0;
  if (window()) windows().move(window(), controls::kFullScreen);
  invalidate();
}

std::vector<screens::ChatListEntry> CBriskLibTavrin::recent_contacts() const {
  std::vector<screens::ChatListEntry> out;
  if (tree_.sections().empty()) return out;
  for (const auto& item : tree_.sections()[0].items)
    out.push_back({long(item.contact_id), item.name, item.new_message});
  return out;
}

std::vector<screens::ChatListEntry> CBriskLibTavrin::conversations() const {
  std::vector<screens::ChatListEntry> out;
  for (uint32_t id : conversations_) {
    screens::ChatListEntry e{long(id), {}, false};
    if (!tree_.sections().empty())
      for (const auto& item : tree_.sections()[0].items)
        if (item.contact_id == id) e.new_message = item.new_message;
    if (const controls::TreeItem* item = model_.find(id)) e.name = item->name;
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<std::u16string> CBriskLibTavrin::take_pending(long contact_id) {
  std::vector<std::u16string> out;
  std::erase_if(pending_, [&](auto& entry) {
    if (entry.first != contact_id) return false;
    out.push_back(std::move(entry.second));
    return true;
  });
  return out;
}

void CBriskLibTavrin::mark_read(long contact_id) {
  mark_recent(uint32_t(contact_id), false);
}

std::uint64_t CBriskLibTavrin::line_sending(long contact_id, const std::u16string& text,
                                            std::int64_t rowid) {
  return outbox_.add(contact_id, text, rowid);
}

int CBriskLibTavrin::box(std::u16string text, std::u16string title, int type, bool timed) {
  boxes_.push_back({title, text});
  return controls::CMsgBoxDlg::show(window(), std::move(text), std::move(title), type, timed);
}

}  // namespace tavrin::mainwnd
