#include "screens/chatlog/CBriskTavrinLog.h"

#include <algorithm>
#include <cstdlib>

#include "controls/CInputBox.h"
#include "controls/CMsgBoxDlg.h"
#include "libtavrin.h"
#include "platform/text_codec.h"
#include "screens/chat/ChatText.h"
#include "gfx/Fonts.h"
#include "screens/chat/EmoticonTable.h"
#include "storage/ChatLogBackup.h"
#include "storage/ChatLogDate.h"
#include "storage/ChatLogExport.h"
#include "storage/ChatLogSearch.h"
#include "storage/StorageGuard.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr int kContactTaps = 1, kLineTaps = 2;  // wParam of 9001 from each list
constexpr int kLineFontHeight = 20;
constexpr int kTimeBand = 28;        // under a line's text: its date and time
constexpr int kTextInset = 6;        // a line's text inside its item, left and right
constexpr int kMinItemHeight = 60;   // a one-line item
constexpr int kHitNameHeight = 26;   // a search result's contact name above its line
constexpr uint32_t kHitNameColour = 0x9C5A1E;  // 0x00BBGGRR: a dark blue

const char16_t* const kMenuTexts[] = {u"备份所有记录", u"备份当前记录", u"删除所有记录",
                                      u"删除当前记录", u"删除选定记录", u"查找聊天记录",
                                      u"导出当前记录", u"导出所有记录"};

controls::ScreenSpec viewer_spec(WindowId owner) {
  controls::ScreenSpec spec;
  spec.class_name = "CBriskTavrinLog";
  spec.title = u"BriskTavrin";
  spec.owner = owner;
  return spec;
}

std::u16string take_engine_text(char* text) {
  if (!text) return {};
  std::u16string out = utf8_to_utf16(text);
  std::free(text);
  return out;
}

bool online(int status) {
  return status == 66 || status == 67 || status == 69 || status == 70;
}

// The heading names the file; the box that follows names where it is.
std::u16string file_label(const std::filesystem::path& file) {
  return utf8_to_utf16(file.filename().string());
}

std::u16string where(const std::filesystem::path& file) {
  return utf8_to_utf16(file.string());
}

std::u16string count_text(std::int64_t n) {
  return utf8_to_utf16(std::to_string(n));
}

// A line quoted in a question: its start when long.
std::u16string excerpt(const std::u16string& line) {
  constexpr size_t kShown = 24;
  if (line.size() <= kShown) return line;
  size_t cut = kShown;
  if (line[cut - 1] >= 0xD800 && line[cut - 1] < 0xDC00) --cut;  // not half of a pair
  return line.substr(0, cut) + u"…";
}

}  // namespace

CBriskTavrinLog::CBriskTavrinLog(std::filesystem::path database, std::int32_t user_id,
                                 WindowId owner, controls::UiContext ui)
    : Screen(viewer_spec(owner), std::move(ui)),
      database_(std::move(database)),
      user_id_(user_id),
      log_(database_, user_id) {
  set_frame({.title = u"查看聊天记录",
             .title_band = kTitle,
             .keys = {{u"回主菜单", {0, kBar.top, 160, kBar.bottom}, kBack},
                      {u"操作", {160, kBar.top, 320, kBar.bottom}, kOperations},
                      {u"查找", {320, kBar.top, 480, kBar.bottom}, kSearchKey}}});
}

CBriskTavrinLog::~CBriskTavrinLog() {
  destroy();
  stop_indexer();
}

void CBriskTavrinLog::stop_indexer() {
  stop_indexer_ = true;
  if (indexer_.joinable()) indexer_.join();  // waits one slice at most
}

bool CBriskTavrinLog::index_in_background() {
  bool ready = true;
  if (!guarded([&] { ready = storage::ChatLogSearch(database_, user_id_).indexReady(); }) || ready)
    return false;
  if (indexer_running_) return true;
  if (indexer_.joinable()) indexer_.join();  // a finished or failed run
  stop_indexer_ = false;
  indexer_running_ = true;
  indexer_ = std::thread([this, database = database_, user = user_id_] {
    // A failing file or a delete meanwhile (which drops the indexes) ends the
    // run; the next search starts another.
    (void)storage::tryStorage(
        [&] { storage::ChatLogSearch(database, user).buildIndex(&stop_indexer_); });
    indexer_running_ = false;
  });
  return true;
}

int CBriskTavrinLog::run_modal() {
  const int code = Screen::run_modal();
  destroy();
  return code;
}

bool CBriskTavrinLog::guarded(const std::function<void()>& op) {
  if (auto failure = storage::tryStorage(op)) {
    heading_ = u"聊天记录操作失败：" + std::u16string(failure->errorMessage());
    return false;
  }
  return true;
}

std::vector<CBriskTavrinLog::Contact> CBriskTavrinLog::engine_contacts() {
  std::vector<Contact> head, tail;
  fx_lock_contacts();
  const char* uid = fx_get_usr_uid();
  const long own = uid ? std::strtol(uid, nullptr, 10) : 0;
  for (const fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a)) {
    if (a->id == own) continue;  // the user's own entry: later adds come after it
    const int status = fx_get_online_status_by_account(a);
    if (status == 75 || status == 76) continue;
    Contact c{take_engine_text(fx_get_account_show_name(a, 0)),
              std::max(0, fx_get_account_group_id(a)), a->id, status};
    // Online contacts come first, in reverse order of the walk.
    if (online(status))
      head.insert(head.begin(), std::move(c));
    else
      tail.push_back(std::move(c));
  }
  fx_unlock_contacts();
  head.insert(head.end(), std::make_move_iterator(tail.begin()),
              std::make_move_iterator(tail.end()));
  return head;
}

std::int32_t CBriskTavrinLog::signed_in_user() {
  fx_lock_contacts();
  const char* uid = fx_get_usr_uid();
  const long id = uid ? std::strtol(uid, nullptr, 10) : 0;
  fx_unlock_contacts();
  return std::int32_t(id);
}

std::u16string CBriskTavrinLog::name_of(long contact_id) const {
  for (const Contact& c : contacts_)
    if (c.id == contact_id) return c.name;
  fx_lock_contacts();
  std::u16string name;
  if (const fx_account* a = fx_get_account_by_id(contact_id))
    name = take_engine_text(fx_get_account_show_name(a, 0));
  else
    name = take_engine_text(fx_get_original_ID(contact_id));
  fx_unlock_contacts();
  return name;
}

// --- life ---

bool CBriskTavrinLog::on_create() {
  const Point origin = to_screen(Point{0, 0});
  const Rect contacts = to_screen(kContacts), lines = to_screen(kLines);
  (void)contact_list_.create(window(), contacts.left, contacts.top, contacts.right,
                             contacts.bottom);
  add_list(contact_list_);
  contact_list_.set_id(kContactListId);
  contact_list_.set_background(&surface(), origin);
  contact_list_.set_tap_message(msg::kItemTapped, kContactTaps);
  contact_list_.set_row_painter([this](gfx::PixelCanvas& c, const controls::ListRow& row,
                                       const gfx::Rect& r,
                                       bool s) { paint_contact(c, row, r, s); });
  (void)lines_.create(window(), lines.left, lines.top, lines.right, lines.bottom);
  add_list(lines_);
  lines_.set_id(kLineListId);
  lines_.set_background(&surface(), origin);
  lines_.set_tap_message(msg::kItemTapped, kLineTaps);
  lines_.set_row_painter([this](gfx::PixelCanvas& c, const controls::ListRow& row,
                                const gfx::Rect& r, bool s) { paint_line(c, row, r, s); });

  contacts_ = engine_contacts();
  for (const Contact& c : contacts_) contact_list_.add_row({c.name, intptr_t(c.id), 0});
  contact_list_.relayout();
  return true;
}

void CBriskTavrinLog::on_destroy() {
  stop_indexer();
  menu_.close();
  contact_list_.destroy();
  lines_.destroy();
}

// --- contacts and lines ---

void CBriskTavrinLog::choose(long contact_id) {
  current_ = contact_id;
  chosen_ = true;
  current_name_ = name_of(contact_id);
  heading_ = current_name_;
  searching_ = false;
  load_lines();
  repaint();
}

void CBriskTavrinLog::load_lines() {
  items_.clear();
  selected_ = -1;
  std::vector<storage::ChatLogRow> rows;
  if (chosen_ && guarded([&] { rows = log_.rows(std::int32_t(current_)); })) {
    items_.reserve(rows.size());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
      const int height = item_height(*it);
      items_.push_back({std::move(*it), height});
    }
  }
  show_items();
}

void CBriskTavrinLog::show_items(int scroll_to) {
  lines_.clear();
  auto& rows = lines_.rows();
  rows.reserve(items_.size());
  int top = 0, offset = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    // A result shows its contact's name above the line.
    const int height = items_[i].height + (searching_ ? kHitNameHeight : 0);
    if (int(i) == scroll_to) offset = top;
    top += height;
    rows.push_back({items_[i].row.line, intptr_t(i), height});
  }
  lines_.scroller().set_offset(0);
  lines_.relayout();
  if (scroll_to >= 0) {
    // The chosen line at the top of the view, or the end of the list in view.
    const int view = kLines.height();
    lines_.scroller().set_offset(std::max(0, std::min(offset, top - view)));
    lines_.paint();
  }
}

int CBriskTavrinLog::item_height(const storage::ChatLogRow& row) const {
  // The text as it wraps in the item, then the band of its date and time.
  const platform::Font* f = gfx::Painter::font(kLineFontHeight);
  const int width = kLines.width() - 2 * kTextInset;
  const int text = f ? f->text_height(row.line, width, platform::text::kWordBreak)
                     : kLineFontHeight * int(1 + row.line.size() / 18);
  return std::max(kMinItemHeight, 4 + text + kTimeBand);
}

void CBriskTavrinLog::select_line(int index) {
  selected_ = index >= 0 && index < int(items_.size()) ? index : -1;
  lines_.paint();
}

void CBriskTavrinLog::search(const std::u16string& query) {
  if (query.empty()) return;
  std::vector<storage::ChatLogRow> hits;
  if (!guarded([&] { hits = storage::ChatLogSearch(database_, user_id_).find(query); })) {
    repaint();
    return;
  }
  searching_ = true;
  selected_ = -1;
  items_.clear();
  for (auto& hit : hits) {
    const int height = item_height(hit);
    items_.push_back({std::move(hit), height});
  }
  heading_ = u"查找“" + query + u"”：" + utf8_to_utf16(std::to_string(items_.size())) + u" 条";
  if (index_in_background()) heading_ += u"（正在建立索引）";
  show_items();
  repaint();
}

void CBriskTavrinLog::open_hit(size_t index) {
  if (!searching_ || index >= items_.size()) return;
  const std::int64_t rowid = items_[index].row.rowid;
  choose(items_[index].row.contactId);
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].row.rowid != rowid) continue;
    selected_ = int(i);
    show_items(int(i));
    break;
  }
}

// --- operations ---

bool CBriskTavrinLog::backup_current() {
  return chosen_ && backup_contact(current_);
}

bool CBriskTavrinLog::backup_contact(long contact_id) {
  std::vector<storage::ChatLogRow> rows;
  if (!guarded([&] { rows = log_.rows(std::int32_t(contact_id)); }) || rows.empty()) return false;
  std::vector<storage::ChatLogLine> newest_first;
  newest_first.reserve(rows.size());
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    newest_first.push_back({std::move(it->line), std::move(it->time)});
  const auto file = storage::ChatLogBackup::pathFor(folder(), std::int32_t(contact_id));
  if (!storage::ChatLogBackup::write(file, newest_first, utf16_to_gbk)) {
    heading_ = u"备份失败：" + file_label(file);
    tell(u"备份失败：" + where(file));
    return false;
  }
  return true;
}

void CBriskTavrinLog::tell(const std::u16string& text) {
  told_ = text;
  controls::CMsgBoxDlg::show(window(), text, u"塔文提示");
}

void CBriskTavrinLog::export_rows(bool all) {
  if (!all && !chosen_) return;
  std::vector<storage::ChatLogRow> rows;
  if (!guarded([&] { rows = all ? log_.allRows() : log_.rows(std::int32_t(current_)); })) return;
  const auto file = all ? storage::ChatLogExport::allFile(folder(), user_id_)
                        : storage::ChatLogExport::contactFile(folder(), std::int32_t(current_));
  const bool written =
      storage::ChatLogExport::write(file, rows, [this](std::int32_t id) { return name_of(id); });
  heading_ = (written ? u"已导出到 " : u"导出失败：") + file_label(file);
  tell((written ? u"已导出到 " : u"导出失败：") + where(file));
}

void CBriskTavrinLog::operation(int index) {
  switch (index) {
    case kBackupAll: {
      // Straight from the log: what is shown, and what is selected, stay.
      int saved = 0;
      for (const Contact& c : contacts_) saved += backup_contact(c.id) ? 1 : 0;
      if (saved > 0)
        tell(u"已备份 " + utf8_to_utf16(std::to_string(saved)) + u" 位好友的记录到 " +
             where(folder()));
      break;
    }
    case kBackupCurrent:
      if (backup_current()) {
        const auto file = storage::ChatLogBackup::pathFor(folder(), std::int32_t(current_));
        heading_ = current_name_ + u"  已备份到 " + file_label(file);
        tell(u"已备份到 " + where(file));
      }
      break;
    case kDeleteAll:
    case kDeleteCurrent:
    case kDeleteSelected:
      delete_lines(index);
      break;
    case kSearch:
      ask_search();
      break;
    case kExportCurrent:
      export_rows(false);
      break;
    case kExportAll:
      export_rows(true);
      break;
    default:
      return;
  }
  repaint();
}

bool CBriskTavrinLog::confirm(const std::u16string& question) {
  asked_ = question;
  return controls::CMsgBoxDlg::show(window(), question, u"塔文提示",
                                    controls::CMsgBoxDlg::kYesNo) == 1;
}

void CBriskTavrinLog::delete_lines(int operation) {
  // What goes, and how many lines, before anything goes; a "否" keeps all.
  std::int64_t n = 0;
  std::u16string what, question;
  std::function<void()> remove;
  if (operation == kDeleteAll) {
    if (!guarded([&] { n = log_.countAll(); })) return;
    what = u"所有好友的聊天记录";
    question = u"删除" + what + u"（共 " + count_text(n) + u" 条）？删除后不能恢复。";
    remove = [&] { log_.deleteAll(); };
  } else if (operation == kDeleteCurrent) {
    if (!chosen_) return tell(u"请先在左边选择一位好友。");
    if (!guarded([&] { n = log_.count(std::int32_t(current_)); })) return;
    what = u"与 " + current_name_ + u" 的聊天记录";
    question = u"删除" + what + u"（共 " + count_text(n) + u" 条）？删除后不能恢复。";
    remove = [&] { log_.deleteContact(std::int32_t(current_)); };
  } else {
    if (!chosen_ || searching_ || selected_ < 0 || selected_ >= int(items_.size()))
      return tell(u"请先点选要删除的那条记录。");
    // Only the row the user chose goes, not every identical line.
    const storage::ChatLogRow& row = items_[size_t(selected_)].row;
    n = 1;
    what = u"选定的记录";
    question = u"删除选定的这条记录？\n“" + excerpt(row.line) + u"”\n删除后不能恢复。";
    const std::int64_t rowid = row.rowid;
    remove = [this, rowid] { log_.deleteRow(rowid); };
  }
  if (n == 0) return tell(u"没有可删除的聊天记录。");
  if (!confirm(question)) return;
  if (!guarded(remove)) return;
  // Results shown may be gone: the view goes back to the contact's lines.
  searching_ = false;
  load_lines();
  heading_ = chosen_ ? current_name_ : std::u16string();
  tell(u"已删除" + what + u"，共 " + count_text(n) + u" 条。");
}

void CBriskTavrinLog::ask_search() {
  controls::CInputBox box;
  box.create(window());
  box.set_prompt(u"请输入要查找的内容：");
  if (box.run_modal() == 1) search(box.text());
}

void CBriskTavrinLog::show_menu() {
  menu_.clear();
  menu_.set_id(kMenuId);
  // The items start below the title band, so the first one is seen.
  menu_.set_rect(kMenu);
  menu_.set_title(u"操作");
  for (const char16_t* text : kMenuTexts) menu_.add_item(text);
  (void)menu_.show(window());
}

// --- input ---

void CBriskTavrinLog::on_command(int command) {
  if (command == kBack) end_modal(0);
  if (command == kOperations) show_menu();
  if (command == kSearchKey) {
    ask_search();
    repaint();
  }
}

void CBriskTavrinLog::on_menu(int menu_id, int index) {
  if (menu_id == kMenuId) operation(index);
}

bool CBriskTavrinLog::on_key(uint32_t key_code) {
  if (key_code != key::kEscape) return false;
  end_modal(0);
  return true;
}

intptr_t CBriskTavrinLog::on_message(const Message& m) {
  switch (m.id) {
    case msg::kItemTapped:
      if (m.wparam == kContactTaps) {
        choose(long(m.lparam));
      } else if (m.wparam == kLineTaps) {
        if (searching_)
          open_hit(size_t(m.lparam));
        else
          select_line(int(m.lparam));
      }
      return 0;
    default:
      return 0;
  }
}

// --- drawing ---

void CBriskTavrinLog::on_paint(gfx::Painter& p) {
  using namespace platform::text;
  const auto& t = theme();
  p.fill_rect({0, 0, 480, 748}, t.bg_color);
  p.fill_rect(kContacts, t.list_bk_color, t.list_bg_alpha);
  p.vline(kContacts.right - 1, kContacts.top, kContacts.bottom, t.line_color);
  const Rect heading{kHeading.left + 10, kHeading.top, kHeading.right - 8, kHeading.bottom};
  p.fitted_text(heading_, heading, 30, 20, p.legible(t.bg_text_color, heading), kVCenter);
  p.hline(kHeading.bottom - 1, kHeading.left, kHeading.right, t.line_color);
}

void CBriskTavrinLog::paint_contact(gfx::PixelCanvas& c, const controls::ListRow& row,
                                    const gfx::Rect& r, bool) {
  using namespace platform::text;
  const auto& t = theme();
  gfx::Painter p(c);
  if (chosen_ && long(row.value) == current_) p.fill_rect(r, t.bg_color, 200);
  p.text(row.text, {r.left + 6, r.top, r.right - 4, r.bottom}, 24, t.bg_text_color,
         kVCenter | kSingleLine | kEndEllipsis);
  p.faded_hline(r.bottom - 1, 0, r.right, t.list_line_color, 255, 20);
}

void CBriskTavrinLog::paint_line(gfx::PixelCanvas& c, const controls::ListRow& row,
                                 const gfx::Rect& r, bool) {
  using namespace platform::text;
  const auto& t = theme();
  const size_t index = size_t(row.value);
  if (index >= items_.size()) return;
  const storage::ChatLogRow& line = items_[index].row;
  gfx::Painter p(c);
  if (int(index) == selected_) p.fill_rect(r, t.list_bk_color, t.list_bg_alpha);
  Rect text{r.left + kTextInset, r.top + 4, r.right - kTextInset, r.bottom - kTimeBand};
  if (searching_) {
    p.text(name_of(line.contactId), {text.left, text.top, text.right, text.top + 24}, 20,
           kHitNameColour, kSingleLine | kEndEllipsis);
    text.top += kHitNameHeight;
  }
  // Emoticon codes show as their pictures; the log keeps the codes.
  p.text(chat::with_pictures(line.line), text, kLineFontHeight, t.bg_text_color, kWordBreak);
  const Rect time{r.left + kTextInset, r.bottom - kTimeBand, r.right - kTextInset, r.bottom - 2};
  p.text(storage::shownDateTime(line.localTime, line.time), time, 18,
         p.legible(t.line_color, time), kRight | kVCenter | kSingleLine);
  p.faded_hline(r.bottom - 1, 0, r.right, t.list_line_color, 255, 30);
}

}  // namespace tavrin::screens
