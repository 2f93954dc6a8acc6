#include "screens/contacts/CBriskContactInfo.h"

#include <algorithm>

#include "platform/text_codec.h"
#include "screens/contacts/CAddFriendDlg.h"
#include "screens/files/ScreenFrame.h"
#include "shell/app_paths.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr char16_t kAll[] = u"所有联系人";
constexpr char kMobileCategory[] = "Mobile";

std::filesystem::path& address_book_override() {
  static std::filesystem::path file;  // UI thread
  return file;
}

// Digits of a phone number as written ("+86 139-0000-0001" gives the 11
// digits of the mobile number after the country code).
std::u16string digits_of(const std::string& phone) {
  std::u16string d;
  for (char c : phone)
    if (c >= '0' && c <= '9') d.push_back(char16_t(c));
  if (d.size() == 13 && d.starts_with(u"86")) d.erase(0, 2);
  return d;
}

}  // namespace

CardNumber card_number(const AddressCard& card) {
  CardNumber n;
  for (const auto& phone : card.phones) {
    n.number = digits_of(phone);
    if (n.number.size() == 11) break;
  }
  if (n.number.size() == 9) n.mode = 0;
  return n;
}

void set_address_book_file(std::filesystem::path file) {
  address_book_override() = std::move(file);
}

std::filesystem::path address_book_file() {
  if (!address_book_override().empty()) return address_book_override();
  return shell::to_path(shell::app_paths().database_path).parent_path() / "AddressBook.vcf";
}

CBriskContactInfo::CBriskContactInfo(controls::UiContext ui)
    : controls::Screen({.class_name = "CBriskContactInfo", .title = u"查看联系人"}, std::move(ui)) {
  list_.set_row_painter([this](gfx::PixelCanvas& c, const controls::ListRow& row,
                               const gfx::Rect& r,
                               bool selected) { paint_row(c, row, r, selected); });
}

void CBriskContactInfo::paint_row(gfx::PixelCanvas& c, const controls::ListRow& row,
                                  const gfx::Rect& r, bool selected) {
  const auto& t = theme();
  gfx::Painter p(c);
  if (selected) p.fill_rect(r, t.list_bk_color, t.list_bg_alpha);
  p.image(skin(opened_ < 0 ? "BriskContactZu.png" : "BriskContactInfo.png"), r.left + 14,
          r.top + 16);
  const unsigned line = text::kLeft | text::kVCenter | text::kSingleLine;
  const size_t i = size_t(row.value);
  if (opened_ >= 0 && i < shown_.size() && !shown_[i].phones.empty()) {
    // A card: the name above, ended in "…" when long, and the number
    // below it whole, since the number is what a tap dials or adds.
    const Rect text_area{r.left + 76, r.top + 6, r.right - 14, r.bottom - 6};
    const int mid = (text_area.top + text_area.bottom) / 2;
    p.text(utf8_to_utf16(shown_[i].name), {text_area.left, text_area.top, text_area.right, mid}, 26,
           t.bg_text_color, line | text::kEndEllipsis);
    p.fitted_text(utf8_to_utf16(shown_[i].phones.front()),
                  {text_area.left, mid, text_area.right, text_area.bottom}, 24, 16, t.bg_text_color,
                  line);
  } else {
    p.text(row.text, {r.left + 76, r.top, r.right - 70, r.bottom}, 26, t.bg_text_color,
           line | text::kEndEllipsis);
  }
  if (opened_ < 0 && row.value > 0 &&
      entries_[size_t(row.value)] == utf8_to_utf16(kMobileCategory)) {
    const Rect mark{48, 0, 96, 48};  // SettingBtn.png: box on
    p.image(skin("SettingBtn.png"), r.right - 62, r.top + 16, &mark);
  }
  p.hline(r.bottom - 1, r.left + 10, r.right - 10, t.line_color);
}

CBriskContactInfo::~CBriskContactInfo() {
  destroy();
}

int CBriskContactInfo::run_modal() {
  const int code = controls::Screen::run_modal();
  destroy();
  return code;
}

bool CBriskContactInfo::on_create() {
  cards_ = read_address_book(address_book_file());
  entries_.assign(1, kAll);
  for (const auto& card : cards_)
    for (const auto& category : card.categories) {
      const std::u16string name = utf8_to_utf16(category);
      if (std::find(entries_.begin(), entries_.end(), name) == entries_.end())
        entries_.push_back(name);
    }
  list_.set_id(kListId);
  const Rect list = to_screen(kList);
  if (!list_.create(window(), list.left, list.top, list.right, list.bottom)) return false;
  list_.set_background(&surface(), to_screen(Point{0, 0}));
  add_list(list_);
  list_.set_tap_message(msg::kItemTapped, kListId);
  opened_ = -1;
  fill_list();
  return true;
}

void CBriskContactInfo::on_destroy() {
  list_.destroy();
}

std::u16string CBriskContactInfo::title() const {
  if (opened_ < 0) return u"查看联系人";
  return u"查看" + entries_[size_t(opened_)];
}

void CBriskContactInfo::fill_list() {
  list_.clear();
  if (opened_ < 0) {
    for (size_t i = 0; i < entries_.size(); ++i)
      list_.add_row({.text = entries_[i], .value = intptr_t(i)});
  } else {
    for (size_t i = 0; i < shown_.size(); ++i) {
      std::u16string text = utf8_to_utf16(shown_[i].name);
      if (!shown_[i].phones.empty()) text += u"  " + utf8_to_utf16(shown_[i].phones.front());
      list_.add_row({.text = std::move(text), .value = intptr_t(i)});
    }
  }
  list_.scroller().set_offset(0);
  list_.relayout();
  repaint();
}

void CBriskContactInfo::open_entry(int index) {
  if (index < 0 || index >= int(entries_.size())) return;
  opened_ = index;
  shown_.clear();
  const std::string category = utf16_to_utf8(entries_[size_t(index)]);
  for (const auto& card : cards_)
    if (index == 0 || std::find(card.categories.begin(), card.categories.end(), category) !=
                          card.categories.end())
      shown_.push_back(card);
  fill_list();
}

void CBriskContactInfo::choose_card(int index) {
  if (index < 0 || index >= int(shown_.size())) return;
  const AddressCard& card = shown_[size_t(index)];
  const CardNumber n = card_number(card);
  CAddFriendDlg add(ui());
  add.set_owner(window());
  add.prefill(n.mode, n.number, utf8_to_utf16(card.name));
  add.run_modal();
  repaint();
}

void CBriskContactInfo::back() {
  if (opened_ < 0) {
    end_modal(0);
    return;
  }
  opened_ = -1;
  shown_.clear();
  fill_list();
}

void CBriskContactInfo::on_command(int command) {
  if (command == kBack) back();
}

std::u16string CBriskContactInfo::empty_hint() {
  return u"请把通讯录导出为vCard文件，放在：\n" + address_book_file().u16string();
}

intptr_t CBriskContactInfo::on_message(const Message& m) {
  if (m.id == msg::kItemTapped && m.wparam == kListId) {
    if (opened_ < 0)
      open_entry(int(m.lparam));
    else
      choose_card(int(m.lparam));
  }
  return 0;
}

void CBriskContactInfo::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  set_frame(
      {.title = title(), .keys = {{opened_ < 0 ? u"退出" : u"返回", controls::kRightKey, kBack}}});
  ScreenFrame::background(p, t);
  if (entries_.size() == 1 && cards_.empty()) {
    p.text(u"通讯录中没有联系人", {20, 160, 460, 220}, 26, t.bg_text_color,
           text::kCenter | text::kVCenter | text::kSingleLine);
    p.text(empty_hint(), {20, 230, 460, 500}, 24, t.bg_text_color, text::kWordBreak);
  }
}

}  // namespace tavrin::screens
