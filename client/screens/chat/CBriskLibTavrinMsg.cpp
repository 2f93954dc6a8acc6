#include "screens/chat/CBriskLibTavrinMsg.h"

#include <algorithm>
#include <cstdlib>

#include "bridge/EngineBridge.h"
#include "controls/CMsgBoxDlg.h"
#include "controls/ShellBars.h"
#include "gfx/Fonts.h"
#include "libtavrin.h"
#include "platform/clipboard.h"
#include "platform/text_codec.h"
#include "screens/chat/CEmoticonDlg.h"
#include "screens/chat/ChatLines.h"
#include "screens/chat/ChatText.h"
#include "screens/chat/EmoticonTable.h"
#include "shell/app_paths.h"
#include "shell/switch_settings.h"
#include "storage/ChatLogDate.h"
#include "storage/StorageGuard.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

// The input box: a 24-pixel face makes room for 180 characters in the well.
constexpr int kInputFontHeight = 24;
constexpr int kLineFontHeight = 20;
constexpr int kTimeFontHeight = 18;
constexpr int kTitleHeight = 26;
constexpr int kTitleMargin = 12;                // the screen base's inset of a title on its band
constexpr uint32_t kSentBubble = 0xF8E6C8;      // 0x00BBGGRR: light blue
constexpr uint32_t kReceivedBubble = 0xFFFFFF;  // white
constexpr uint32_t kFailureColour = 0x4040FF;   // red

controls::ScreenSpec chat_spec(WindowId owner) {
  controls::ScreenSpec spec;
  spec.class_name = "CBriskLibTavrinMsg";
  spec.title = u"BriskTavrin";
  spec.owner = owner;
  return spec;
}

bool is_sent_line(std::u16string_view line) {
  return line.starts_with(chat::kOwnerPrefix) || line.starts_with(chat::kFailedPrefix) ||
         line.starts_with(chat::kPendingPrefix);
}

}  // namespace

CBriskLibTavrinMsg::CBriskLibTavrinMsg(long contact_id, WindowId owner, MainWindowLink& main,
                                       bool sms_mode, controls::UiContext ui)
    : Screen(chat_spec(owner), std::move(ui)),
      contact_id_(contact_id),
      main_(main),
      sms_mode_(sms_mode),
      log_(chat::signed_in_chat_log()) {
  // The chat skin draws the bands; the title is white on it.
  set_frame({.title_band = kTitle,
             .title_height = kTitleHeight,
             .title_colour = 0xFFFFFF,
             .keys = {{u"发送", {0, 690, 160, 748}, kSend},
                      {u"操作", {160, 690, 320, 748}, kOperationsKey},
                      {u"返回", {320, 690, 480, 748}, kBack}},
             .bands = false});
}

CBriskLibTavrinMsg::~CBriskLibTavrinMsg() {
  destroy();
}

int CBriskLibTavrinMsg::run_modal() {
  const int code = controls::Screen::run_modal();
  // The touch keyboard was this screen's: it goes with it.
  if (controls::sip_shown() == 1) (void)controls::sip_hide();
  destroy();
  return code;
}

CBriskLibTavrinMsg::ContactFacts CBriskLibTavrinMsg::contact_facts(long contact_id) {
  ContactFacts facts;
  fx_lock_contacts();
  if (const fx_account* account = fx_get_account_by_id(contact_id)) {
    facts.has_record = true;
    facts.pc_user = fx_is_pc_user_by_account(account) != 0;
    facts.name = chat::take_engine_text(fx_get_account_show_name(account, 0));
  } else {
    facts.pc_user = fx_is_pc_user_by_id(contact_id) != 0;
    facts.name = chat::take_engine_text(fx_get_original_ID(contact_id));
  }
  fx_unlock_contacts();
  if (facts.name.empty()) facts.name = utf8_to_utf16(std::to_string(contact_id));
  return facts;
}

// --- life ---

bool CBriskLibTavrinMsg::on_create() {
  // The chat background with the frame over it: what the list scrolls over.
  if (background_.create(window(), spec().rect.width(), spec().rect.height())) {
    gfx::Painter p(background_.lock());
    p.fill_rect({0, 0, 480, 800}, theme().bg_color);
    const auto& t = theme();
    const auto file = shell::app_paths().resolve(t.msg_bk_path);
    const bool drawn = !t.msg_bk_path.empty() && p.picture(file.string(), {0, 0, 480, 800});
    p.image(skin("TavrinDialog.png"), 0, 0);
    // The user's own photo: a shade under the tabs and the lists keeps
    // their texts readable whatever the photo holds.
    if (drawn && shell::app_paths().is_own_picture(file)) {
      p.veil(kTabs, {0xFFFFFF});
      p.veil(kLines, {t.list_text_color});
    }
  }
  const Rect lines = to_screen(kLines);
  (void)list_.create(window(), lines.left, lines.top, lines.right, lines.bottom);
  list_.set_id(kLineListId);
  list_.set_background(&background_, to_screen(Point{0, 0}));
  add_list(list_);
  list_.set_tap_message(msg::kItemTapped);
  list_.set_row_painter([this](gfx::PixelCanvas& c, const controls::ListRow& row,
                               const gfx::Rect& r,
                               bool selected) { paint_row(c, row, r, selected); });
  (void)input_.create(window(), kInput, kInputLimit, gfx::make_font(kInputFontHeight));

  // The first words typed go into the box.
  windows().set_focus(input_.window());

  look_up_contact();
  if (!sms_mode_) begin_dialog();
  set_title();
  load_history();
  receive();
  return true;
}

void CBriskLibTavrinMsg::on_destroy() {
  list_.destroy();
  input_.destroy();
  background_.free();
}

void CBriskLibTavrinMsg::look_up_contact() {
  const ContactFacts facts = contact_facts(contact_id_);
  has_record_ = facts.has_record;
  name_ = facts.name;
}

void CBriskLibTavrinMsg::set_title() {
  if (contact_id_ == chat::kNoTitleContact) return;
  const ContactFacts facts = contact_facts(contact_id_);
  chat::ChatTitle t = chat::chat_title(name_, facts.has_record, facts.pc_user, sms_mode_);
  // A long name is shortened with "…" so that the title keeps its mode
  // ("（聊天模式）", "（短信模式）") whole on the band.
  const platform::Font* f = gfx::Painter::font(kTitleHeight);
  const int room = kTitle.width() - 2 * kTitleMargin;
  if (f && f->text_width(t.text) > room) {
    // The name gets what the title's own words leave.
    const int words =
        f->text_width(chat::chat_title(u"", facts.has_record, facts.pc_user, sms_mode_).text);
    t = chat::chat_title(f->fitted(name_, room - words), facts.has_record, facts.pc_user,
                         sms_mode_);
  }
  title_ = t.text;
  sms_mode_ = t.sms_mode;
}

void CBriskLibTavrinMsg::begin_dialog() {
  // Signed out there is no one to invite.
  if (window() && main_.logged_in())
    fx_begin_dialog(contact_id_, bridge::post_callback, bridge::user_data(window()));
}

// --- lines ---

std::int64_t CBriskLibTavrinMsg::log_line(const std::u16string& line, const std::u16string& time,
                                         const std::u16string& when) {
  // The user may keep no chat log at all (a switch of the settings screen).
  if (!shell::switch_settings().keep_chat_log) return 0;
  // The line is on screen and sent whatever the log does; a failure is shown.
  std::int64_t rowid = 0;
  if (auto failure = storage::tryStorage(
          [&] { rowid = log_.appendRow(std::int32_t(contact_id_), line, time, when); }))
    log_failure_ = u"聊天记录未能保存：" + std::u16string(failure->errorMessage());
  else
    log_failure_.clear();
  return rowid;
}

void CBriskLibTavrinMsg::add_live_line(Line line) {
  if (line.text.empty() || tab_ != 2) return;
  line.height = chat::live_line_height(line.text.size());
  line.key = next_key_++;
  controls::ListRow row{line.text, intptr_t(line.key), line.height};
  lines_.insert(lines_.begin(), std::move(line));
  list_.rows().insert(list_.rows().begin(), std::move(row));
  list_.scroller().set_offset(0);
  list_.relayout();
}

void CBriskLibTavrinMsg::line_settled(std::uint64_t id, std::int64_t rowid,
                                      const std::u16string& line) {
  for (size_t i = 0; i < lines_.size(); ++i) {
    Line& l = lines_[i];
    if (!((id != 0 && l.send_id == id) || (rowid != 0 && l.rowid == rowid))) continue;
    l.text = line;
    if (i < list_.rows().size()) list_.rows()[i].text = line;
    repaint();
    return;
  }
}

void CBriskLibTavrinMsg::load_history() {
  lines_.clear();
  older_than_ = 0;
  std::vector<storage::ChatLogRow> stored;
  if (auto failure = storage::tryStorage(
          [&] { stored = log_.rows(std::int32_t(contact_id_), kFirstLines, 0); }))
    log_failure_ = u"聊天记录未能读取：" + std::u16string(failure->errorMessage());
  lines_.reserve(stored.size());
  for (auto it = stored.rbegin(); it != stored.rend(); ++it) {
    const int height = chat::stored_line_height(it->line.size());
    const int direction = is_sent_line(it->line) ? 1 : 0;
    lines_.push_back({std::move(it->line), std::move(it->time), direction, height, 0, it->rowid,
                      std::move(it->localTime), next_key_++});
  }
  rebuild_rows();
  // The rest once the newest lines are on the screen: a post comes after the paint.
  if (stored.size() == kFirstLines && window()) {
    older_than_ = stored.front().rowid;
    windows().post(window(), kLoadOlder, uintptr_t(contact_id_));
  }
}

void CBriskLibTavrinMsg::load_older(long contact_id) {
  if (contact_id != contact_id_ || tab_ != 2 || older_than_ == 0) return;
  std::vector<storage::ChatLogRow> stored;
  if (auto failure = storage::tryStorage(
          [&] { stored = log_.rows(std::int32_t(contact_id_), 0, older_than_); }))
    log_failure_ = u"聊天记录未能读取：" + std::u16string(failure->errorMessage());
  older_than_ = 0;
  if (stored.empty()) return;
  // Older lines go below the ones shown; what is on the screen stays put.
  lines_.reserve(lines_.size() + stored.size());
  auto& rows = list_.rows();
  rows.reserve(rows.size() + stored.size());
  for (auto it = stored.rbegin(); it != stored.rend(); ++it) {
    const int height = chat::stored_line_height(it->line.size());
    const int direction = is_sent_line(it->line) ? 1 : 0;
    rows.push_back({it->line, 0, height});
    lines_.push_back({std::move(it->line), std::move(it->time), direction, height, 0, it->rowid});
  }
  list_.relayout();
  repaint();
}

void CBriskLibTavrinMsg::rebuild_rows() {
  list_.clear();
  auto& rows = list_.rows();
  if (tab_ == 2) {
    rows.reserve(lines_.size());
    for (const Line& l : lines_) rows.push_back({l.text, intptr_t(l.key), l.height});
  } else {
    for (const ChatListEntry& e : entries_) rows.push_back({e.name, intptr_t(e.contact_id), 80});
  }
  list_.scroller().set_offset(0);
  list_.relayout();
}

void CBriskLibTavrinMsg::receive() {
  const bool logging = shell::switch_settings().keep_chat_log;
  const bool all_kept = chat::take_received(contact_id_, name_, [&](chat::ChatLine& line) {
    const std::int64_t rowid = log_line(line.text, line.time, line.when);
    if (logging && rowid == 0) return false;  // left with the service, unanswered
    add_live_line(
        {std::move(line.text), std::move(line.time), 0, 0, 0, rowid, std::move(line.when)});
    return true;
  });
  if (!all_kept)
    log_failure_ = u"收到的消息未能保存，留在服务器上：释放存储空间后重新登录即可收到";
  show_pending();
}

void CBriskLibTavrinMsg::show_pending() {
  // The main window's reports for this contact (send failures, time-outs):
  // shown, not logged, as they are not lines of the conversation.
  for (std::u16string& text : main_.take_pending(contact_id_))
    add_live_line({std::move(text), chat::local_time_now(), 0, 0, 0, 0,
                   storage::isoLocal(std::time(nullptr))});
}

bool CBriskLibTavrinMsg::send() {
  const std::u16string text = chat::without_tabs_and_line_feeds(input_.text());
  if (text.empty()) return false;
  input_.set_text(u"");
  (void)deliver(text);
  return true;
}

bool CBriskLibTavrinMsg::retry(size_t index) {
  if (tab_ != 2 || index >= lines_.size()) return false;
  const Line failed = lines_[index];
  if (!failed.text.starts_with(chat::kFailedPrefix)) return false;
  const std::u16string text = failed.text.substr(chat::kFailedPrefix.size());
  if (controls::CMsgBoxDlg::show(Screen::window(), u"这条消息没有发出：\n“" + text + u"”\n重新发送？",
                                 u"塔文提示", controls::CMsgBoxDlg::kYesNo) != 1)
    return false;
  // The failed line gives way to the new one, on screen and in the log.
  if (failed.rowid != 0) (void)storage::tryStorage([&] { log_.deleteRow(failed.rowid); });
  lines_.erase(lines_.begin() + std::ptrdiff_t(index));
  if (index < list_.rows().size()) list_.rows().erase(list_.rows().begin() + std::ptrdiff_t(index));
  list_.relayout();
  const bool sent = deliver(text);
  repaint();
  return sent;
}

void CBriskLibTavrinMsg::tap_line(std::uint64_t key) {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].key == key) {
      (void)retry(i);
      return;
    }
}

bool CBriskLibTavrinMsg::deliver(const std::u16string& text) {
  // Signed out (or offline), nothing goes to the engine: the line fails here.
  bool sent = false;
  bool contact_online = true;
  if (signed_in()) {
    const std::string utf8 = utf16_to_utf8(text);
    fx_lock_contacts();
    const bool pc_user = fx_is_pc_user_by_id(contact_id_) != 0;
    contact_online = fx_is_on_line_by_id(contact_id_) != 0;
    fx_unlock_contacts();
    // The result goes to the main window (the system callback), which
    // follows the line when this window is gone.
    sent = (!sms_mode_ && pc_user ? fx_dialog_send(contact_id_, utf8.c_str(), nullptr, nullptr)
                                  : fx_send_sms(contact_id_, utf8.c_str(), nullptr, nullptr)) != 0;
  }
  std::u16string line = chat::sent_line(sent ? chat::kPendingPrefix : chat::kFailedPrefix, text);
  if (sent && !contact_online && !sms_mode_ && has_record_) {
    // The service keeps the line until the contact signs in.
    nudge_ok_ = true;
    nudge_status_ = name_ + u" 不在线：消息存在服务器，上线后收到";
    set_timer(kNudgeStatusTimer, kNudgeStatusMs);
  } else if (!sent && signed_in()) {
    nudge_ok_ = false;
    nudge_status_ = u"发送失败：点一下这条消息可以重发";
    set_timer(kNudgeStatusTimer, kNudgeStatusMs);
  }
  const std::time_t now = std::time(nullptr);
  std::u16string time = chat::local_time_now(now);
  std::u16string when = storage::isoLocal(now);
  const std::int64_t rowid = log_line(line, time, when);
  const std::uint64_t id = sent ? main_.line_sending(contact_id_, text, rowid) : 0;
  add_live_line({std::move(line), std::move(time), 1, 0, id, rowid, std::move(when)});
  return sent;
}

// --- tabs and contacts ---

void CBriskLibTavrinMsg::fill_entries() {
  entries_ = tab_ == 1 ? main_.recent_contacts() : main_.conversations();
  const int n = int(entries_.size());
  conversation_index_ = n == 0 ? 1 : std::clamp(conversation_index_, 1, n);
}

void CBriskLibTavrinMsg::show_tab(int tab) {
  tab_ = std::clamp(tab, 1, 3);
  operations_shown_ = false;
  if (tab_ == 2) {
    entries_.clear();
    load_history();
  } else {
    lines_.clear();
    fill_entries();
    rebuild_rows();
  }
  repaint();
}

void CBriskLibTavrinMsg::step_conversation(int delta) {
  const int n = int(entries_.size());
  if (tab_ != 3 || n == 0) return;
  conversation_index_ += delta;
  if (conversation_index_ < 1) conversation_index_ = n;
  if (conversation_index_ > n) conversation_index_ = 1;
  repaint();
}

void CBriskLibTavrinMsg::switch_to(long contact_id) {
  contact_id_ = contact_id;
  tab_ = 2;
  entries_.clear();
  look_up_contact();
  if (!sms_mode_) begin_dialog();
  set_title();
  load_history();
  receive();
  main_.mark_read(contact_id_);
  windows().set_focus(input_.window());
  repaint();
}

void CBriskLibTavrinMsg::notify(long contact_id, const std::u16string& text) {
  if (!has_record_) return;
  if (contact_id == contact_id_) {
    if (text.empty())
      receive();
    else
      show_pending();  // a report for this contact: the main window keeps it as pending
    return;
  }
  if (tab_ == 1) {
    fill_entries();
    rebuild_rows();
    repaint();
  }
}

// --- operations ---

void CBriskLibTavrinMsg::operation(int index) {
  operations_shown_ = false;
  switch (index) {
    case 0:  // the soft input panel, for typing
      (void)controls::sip_show();
      break;
    case 1:
      // At the caret, as everywhere else: what was typed stays.
      if (auto text = Clipboard::text()) input_.insert_text(*text);
      break;
    case 2:
      pick_emoticon();
      break;
    case 3:
      nudge();
      break;
    case 4:
      sms_mode_ = false;
      set_title();
      break;
    case 5:
      sms_mode_ = true;
      set_title();
      break;
    case 6:
      show_tab(2);
      break;
    default:
      break;
  }
  repaint();
}

void CBriskLibTavrinMsg::pick_emoticon() {
  CEmoticonDlg picker(Screen::window(), ui());
  if (picker.run_modal() == 1) input_.insert_text(picker.code());
}

void CBriskLibTavrinMsg::nudge() {
  fx_lock_contacts();
  const bool pc_user = fx_is_pc_user_by_id(contact_id_) != 0;
  fx_unlock_contacts();
  if (!pc_user) {
    controls::CMsgBoxDlg::show(Screen::window(), u"发送失败，请确认对方是塔文用户，并且在线！",
                               u"塔文提示");
    return;
  }
  // The service sends no answer to a nudge: the engine's refusal (the
  // contact offline, or a nudge within the last 10 s) is all there is to say.
  nudge_ok_ = fx_send_nudge(contact_id_) != 0;
  nudge_status_ =
      nudge_ok_ ? u"已向 " + name_ + u" 发送震动" : u"震动未发出：对方离线或10秒内已震动";
  set_timer(kNudgeStatusTimer, kNudgeStatusMs);
  repaint();
}

void CBriskLibTavrinMsg::on_timer(uintptr_t id) {
  if (id != kNudgeStatusTimer) return;
  kill_timer(kNudgeStatusTimer);
  nudge_status_.clear();
  repaint();
}

// --- input ---

Rect CBriskLibTavrinMsg::popup_rect() const {
  return operations_shown_ ? strip_ : Rect{};
}

void CBriskLibTavrinMsg::on_stylus(StylusAction action, Point p) {
  if (action != StylusAction::kUp) return;
  if (!operations_shown_) return tap(p);
  // The strip is up: a tap on a cell runs it, any other tap closes it.
  const Rect strip = strip_;
  operations_shown_ = false;
  const int top = strip.top + (kOperationTop - kOperations.top);
  const Rect cells{kOperationLeft, top, kOperationLeft + kOperationCount * kOperationCell,
                   top + kOperationCell};
  if (cells.contains(p))
    windows().post(Screen::window(), msg::kMenuCommand,
                   uintptr_t((p.x - cells.left) / kOperationCell), kOperationsMenu);
  repaint();
}

void CBriskLibTavrinMsg::on_command(int command) {
  // A soft key while the strip is up closes the strip first.
  operations_shown_ = false;
  switch (command) {
    case kSend:
      send_key();
      break;
    case kOperationsKey: {
      // Above the input panel while it is up, so it is seen where it is hit.
      const int panel =
          controls::sip_shown() == 1 ? controls::sip_top_edge() - spec().rect.top : 800;
      strip_ = kOperations.offset(0, -std::max(0, kOperations.bottom + 4 - panel));
      operations_shown_ = true;
      repaint();
      break;
    }
    case kBack:
      close();
      break;
  }
}

void CBriskLibTavrinMsg::send_key() {
  const bool sent = send();
  if (sent && controls::sip_shown() == 1)
    (void)controls::sip_hide();
  else if (!sent && controls::sip_shown() == 0)
    (void)controls::sip_show();
  repaint();
}

void CBriskLibTavrinMsg::tap(Point p) {
  if (kTabs.contains(p)) {
    if (tab_ == 3 && kPrevious.contains(p)) return step_conversation(-1);
    if (tab_ == 3 && kNext.contains(p)) return step_conversation(1);
    const int tab = p.x / kTabWidth + 1;
    if (tab == 3 && tab_ == 3) {
      // The label between the arrows opens the conversation shown there.
      if (!entries_.empty()) switch_to(entries_[size_t(conversation_index_ - 1)].contact_id);
      return;
    }
    show_tab(tab);
  }
}

bool CBriskLibTavrinMsg::on_key(uint32_t key_code) {
  if (key_code == key::kEscape) {
    close();
    return true;
  }
  return false;
}

void CBriskLibTavrinMsg::on_menu(int menu_id, int index) {
  if (menu_id == kOperationsMenu) operation(index);
}

intptr_t CBriskLibTavrinMsg::on_message(const Message& m) {
  switch (m.id) {
    case msg::kItemTapped:
      if (tab_ != 2 && m.lparam != 0) switch_to(long(m.lparam));
      if (tab_ == 2) tap_line(std::uint64_t(m.lparam));
      return 0;
    case kLoadOlder:
      load_older(long(m.wparam));
      return 0;
    default:
      return 0;
  }
}

bool CBriskLibTavrinMsg::on_engine(bridge::EngineMessage& m) {
  // The dialog's progress; the results of sent lines go to the main window.
  const int code = m.code();
  return code == FX_MSG_DIALOG_TRYING || code == FX_MSG_DIALOG_OPEN ||
         code == FX_MSG_DIALOG_REFUSED;
}

// --- drawing ---

void CBriskLibTavrinMsg::on_paint(gfx::Painter& p) {
  using namespace platform::text;
  const auto& t = theme();
  p.blit(background_.lock(), {0, 0, 480, 800}, 0, 0);
  // Title, or what went wrong with the log, or that the user is signed out,
  // or for a moment how a nudge or a line went.
  const std::u16string note = band_note();
  Screen::set_title(note.empty() ? title_ : u"");
  if (!log_failure_.empty())
    p.text(log_failure_, kTitle.offset(8, 0), 22, p.legible(kFailureColour, kTitle),
           kVCenter | kSingleLine);
  else if (!signed_in())
    p.text(note, kTitle.inset(8), 24, p.legible(kFailureColour, kTitle),
           kCenter | kVCenter | kSingleLine | kEndEllipsis);
  else if (!nudge_status_.empty())
    p.text(nudge_status_, kTitle.inset(8), 24,
           p.legible(nudge_ok_ ? 0xFFFFFF : kFailureColour, kTitle),
           kCenter | kVCenter | kSingleLine | kEndEllipsis);
  // Tabs.
  p.image(skin("TavrinTabBkSel.png"), (tab_ - 1) * kTabWidth, kTabs.top);
  const std::u16string labels[3] = {u"最近联系人", u"聊天", u"会话"};
  for (int i = 0; i < 3; ++i) {
    const Rect r{i * kTabWidth, kTabs.top, (i + 1) * kTabWidth, kTabs.bottom};
    if (i == 2 && tab_ == 3) {
      // Drawn arrows: the faces have no arrow that reads at this size.
      draw_arrow(p, kPrevious, -1);
      draw_arrow(p, kNext, 1);
      const int n = int(entries_.size());
      const std::u16string count =
          n == 0 ? u"0/0"
                 : utf8_to_utf16(std::to_string(conversation_index_) + "/" + std::to_string(n));
      // "会话" over its count: the two do not fit side by side between the arrows.
      const Rect label{kPrevious.right, r.top + 4, kNext.left, r.bottom - 4};
      const int mid = (label.top + label.bottom) / 2;
      const gfx::Colour ink = p.legible(0xFFFFFF, label);
      p.fitted_text(u"会话", {label.left, label.top, label.right, mid}, 24, 16, ink,
                    kCenter | kVCenter);
      p.fitted_text(count, {label.left, mid, label.right, label.bottom}, 22, 14, ink,
                    kCenter | kVCenter);
      continue;
    }
    // White on the dark tabs; the chosen tab's light skin takes a darker ink.
    p.text(labels[i], r, 28, p.legible(0xFFFFFF, r.inset(8)), kCenter | kVCenter | kSingleLine);
  }
  if (operations_shown_) {
    // Drawn last; the base shows it again over the line list.
    const Rect& strip = strip_;
    p.fill_rounded(strip, t.menu_bk_color, t.menu_bg_alpha);
    p.draw_rounded_frame(strip, t.line_color);
    p.image(skin("TavrinMsgOper.png"), kOperationLeft,
            strip.top + (kOperationTop - kOperations.top));
  }
}

std::u16string CBriskLibTavrinMsg::band_note() const {
  if (!log_failure_.empty()) return log_failure_;
  if (!signed_in()) return u"未登录：消息发不出去，请先登录";
  return nudge_status_;
}

void CBriskLibTavrinMsg::draw_arrow(gfx::Painter& p, const Rect& r, int direction) {
  // A filled triangle pointing left (-1) or right (1), centred in r.
  constexpr int kHalf = 12, kLength = 14;
  const Point c = r.centre();
  for (int i = 0; i < kLength; ++i) {
    const int x = direction < 0 ? c.x - kLength / 2 + i : c.x + kLength / 2 - i;
    const int half = kHalf * i / (kLength - 1);
    p.vline(x, c.y - half, c.y + half + 1, 0xFFFFFF);
  }
}

void CBriskLibTavrinMsg::paint_row(gfx::PixelCanvas& canvas, const controls::ListRow& row,
                                   const gfx::Rect& r, bool selected) {
  using namespace platform::text;
  const auto& t = theme();
  gfx::Painter p(canvas);
  const size_t index = size_t(&row - list_.rows().data());
  if (tab_ == 2) {
    if (index >= lines_.size()) return;
    const Line& line = lines_[index];
    const Rect bubble{8, r.top + 4, 475, r.bottom - 4};
    p.fill_rounded(bubble, line.direction == 1 ? kSentBubble : kReceivedBubble, 230);
    p.draw_rounded_frame(bubble, t.line_color, 96);
    // Emoticon codes show as their pictures; the line itself keeps the codes.
    p.text(chat::with_pictures(line.text),
           {bubble.left + 8, bubble.top + 4, bubble.right - 8, bubble.bottom - 2}, kLineFontHeight,
           t.bg_text_color, kWordBreak);
    const Rect time{bubble.right - 200, bubble.bottom - 24, bubble.right - 6, bubble.bottom - 2};
    p.text(storage::shownDateTime(line.when, line.time), time, kTimeFontHeight,
           p.legible(t.line_color, time), kRight | kBottom | kSingleLine);
    return;
  }
  // Tabs 1 and 3: one contact a row, with the new-message mark.
  if (index >= entries_.size()) return;
  const ChatListEntry& e = entries_[index];
  const bool current = selected || (tab_ == 3 && int(index) + 1 == conversation_index_);
  if (current) p.fill_rect({0, r.top, 480, r.bottom}, t.list_bk_color, t.list_bg_alpha);
  // The rows lie on the chat's dark skin, as the main window's lists do:
  // they take the lists' text colour (the page text colour is for the
  // light bubbles). A long name ends in "…" before the new-message mark.
  const Rect name{20, r.top, 380, r.bottom};
  p.fitted_text(e.name, name, 30, 30, p.legible(t.list_text_color, name), kVCenter);
  if (e.new_message) p.image(skin("NewSMS.png"), 400, r.top + 24);
  p.faded_hline(r.bottom - 1, 0, 480, t.list_line_color, 255, 30);
}

}  // namespace tavrin::screens
