// The main window's life, drawing and input; its menus are in
// CBriskLibTavrin_menus.cpp and its engine messages in
// CBriskLibTavrin_engine.cpp.
#include "mainwnd/CBriskLibTavrin.h"

#include <algorithm>

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

controls::ScreenSpec main_spec() {
  controls::ScreenSpec spec;
  spec.class_name = "CBriskLibTavrin";
  spec.title = u"BriskTavrin";
  return spec;
}

// Screen rows to the window's own rows.
constexpr Rect in_window(Rect screen) {
  return screen.offset(0, -Display::kTaskBarHeight);
}

constexpr const char* kSkins[] = {"TavrinActInfo.png", "NewSMS.png",          "BriskTreeFlag.png",
                                  "TavrinOper.png",    "TavrinAddSearch.png", "TavrinStatus.png"};
constexpr const char16_t* kSoftKeyLabels[] = {u"查找", u"个人", u"短信", u"操作", u"设置"};

}  // namespace

CBriskLibTavrin::CBriskLibTavrin(Options options, controls::UiContext ui)
    : Screen(main_spec(), std::move(ui)), options_(std::move(options)) {
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
  // 6. The contact tree, x 0-480, y 165-690.
  if (!tree_.create(window(), kTreeView.left, kTreeView.top, kTreeView.right, kTreeView.bottom))
    return false;
  tree_.set_id(kTreeId);
  tree_.set_background(&background_, {0, Display::kTaskBarHeight});
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
    (void)log_->replacePrefix(screens::chat::kPendingPrefix, screens::chat::kFailedPrefix,
                              kNewestRows);
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
}

void CBriskLibTavrin::build_background() {
  // The theme's main background, the main frame over it, the avatar and
  // the soft-key bar: everything that does not change between frames.
  if (!background_.created() && !background_.create(window(), Display::kWidth, Display::kHeight))
    return;
  gfx::PixelCanvas canvas = background_.lock();
  gfx::Painter p(canvas);
  const auto& t = theme();
  p.fill_rect({0, 0, Display::kWidth, Display::kHeight}, t.bg_color);
  (void)p.png(shell::app_paths().resolve(t.main_bk_path).string(),
              {0, 0, Display::kWidth, Display::kHeight});
  p.image(skin("TavrinMainBk.png"), 0, 0);
  const Rect avatar = in_window(controls::area_of(kTaps, Tap::kAvatar));
  p.image(skin("TavrinActInfo.png"), avatar.left, avatar.top);
  const Rect keys = in_window(kSoftKeys);
  p.fill_shaded(keys, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  const int width = keys.width() / 5;
  for (int i = 0; i < 5; ++i)
    p.text(kSoftKeyLabels[i], {i * width, keys.top, (i + 1) * width, keys.bottom}, 30,
           t.bottom_text_color, text::kCenter | text::kVCenter | text::kSingleLine);
}

// --- drawing ---

bool CBriskLibTavrin::can_present() const {
  // Behind another screen, under a menu or a notice, the display is theirs.
  return window() && windows().visible(window()) && windows().active() == window() &&
         !menu_.shown() && !(notifier_ && notifier_->notice().showing());
}

void CBriskLibTavrin::on_paint(gfx::Painter& p) {
  draw_band(p, {0, 0, Display::kWidth, Display::kHeight});
  dirty_ = false;
}

void CBriskLibTavrin::draw_band(gfx::Painter& p, const Rect& band) {
  p.save();
  p.clip(band);
  p.blit(background_.lock(), band, band.left, band.top);
  const Rect header = in_window(kHeaderStrip);
  if (!band.intersect(header).empty()) {
    const unsigned line = text::kVCenter | text::kSingleLine;
    const unsigned centred = line | text::kCenter;
    // A long name shrinks to fit rather than losing its status.
    const std::u16string name = u"BriskLibTavrin For " + name_label_;
    const Rect name_rect = in_window(kNameLine);
    int height = 28;
    for (const platform::Font* f; height > 20 && (f = gfx::Painter::font(height)) &&
                                  f->text_width(name) > name_rect.width();)
      --height;
    p.text(name, name_rect, height, 0xFFFFFF, line);
    const Rect second = in_window(kSecondLine);
    if (!notice_.empty()) {
      p.text(notice_, in_window(kNotice), 30, theme().menu_text_color, centred);
    } else if (mood_.empty()) {
      p.text(number_label_, second, 28, 0xFFFFFF, centred);
    } else {
      const int mid = (second.top + second.bottom) / 2;
      p.text(number_label_, {second.left, second.top + 2, second.right, mid}, 26, 0xFFFFFF,
             centred);
      p.text(mood_, {second.left, mid, second.right, second.bottom - 2}, 24, 0xD0D0D0, centred);
    }
  }
  const Rect view = in_window(kTreeView);
  const Rect rows = view.intersect(band);
  if (!rows.empty()) {
    gfx::PixelCanvas part = p.canvas().sub(rows);
    tree_.compose(part, rows.top - view.top);
  }
  p.restore();
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
  const Rect band = Rect{0, top, Display::kWidth, bottom}
                        .offset(0, -Display::kTaskBarHeight)
                        .intersect({0, 0, surface().width(), surface().height()});
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
    if (!r.empty()) repaint_rows(r.top, r.bottom);
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

void CBriskLibTavrin::on_stylus(StylusAction action, Point window_point) {
  // The tree and this window's tap table work in display coordinates.
  const Point p = to_screen(window_point);
  switch (action) {
    case StylusAction::kDown:
      if (!notice_.empty()) show_notice({});  // a touch puts the header back
      tree_.stylus_down(p);
      break;
    case StylusAction::kMove:
      tree_.stylus_move(p);
      break;
    case StylusAction::kUp:
      if (tree_.stylus_up(p)) break;
      if (auto tap = controls::hit(kTaps, p)) on_tap_area(*tap, p);
      break;
  }
}

void CBriskLibTavrin::on_tap_area(Tap tap, Point p) {
  controls::PressEffect::play(window(), p.x, p.y);
  switch (tap) {
    case Tap::kAddressBook:
      after_screen(open_screen(screens::Route::kAddressBook), false);
      break;
    case Tap::kRebuild:
      rebuild_tree();
      break;
    case Tap::kAvatar:
    case Tap::kMine:
      show_menu(menu::kMain);
      break;
    case Tap::kSearch:
      show_menu(menu::kSearch);
      break;
    case Tap::kSms:
      windows().post(window(), msg::kCommand, kSmsCommand);
      break;
    case Tap::kOperations:
      windows().post(window(), msg::kCommand, kOperationsCommand);
      break;
    case Tap::kSettings:
      show_menu(menu::kSettings);
      break;
  }
}

void CBriskLibTavrin::on_command(int command) {
  if (command == kSmsCommand) show_menu(menu::kSms);
  if (command == kOperationsCommand) show_menu(menu::kContacts);
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
    case msg::kTreeStep:
      if (m.wparam == kTreeId) tree_.inertia_step();
      return 0;
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
    if (signed_out()) c = offline(c);
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
  if (signed_out())
    for (ContactRecord& c : store.contacts) c = offline(c);
  return store;
}

void CBriskLibTavrin::go_offline() {
  logged_in_ = false;
  if (chat_) chat_->set_logged_in(false);
  name_label_ = read_own().nickname + u"（离线）";
  rebuild_tree();
  repaint_rows(kHeaderStrip.top, kHeaderStrip.bottom);
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
  // 1. Read: the recent section lists the contact without a mark.
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
