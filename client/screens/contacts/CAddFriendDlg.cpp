#include "screens/contacts/CAddFriendDlg.h"

#include <algorithm>

#include "controls/CMsgBoxDlg.h"
#include "libtavrin.h"
#include "platform/text_codec.h"
#include "screens/files/ScreenFrame.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr char16_t kCaption[] = u"塔文提示";
constexpr char16_t kWrongNumber[] = u"请输入正确的号码！手机11位，塔文号9位。";

enum class Tap { kModeUid, kModeMobile, kGroup };
constexpr controls::HotArea<Tap> kTaps[] = {
    {Tap::kModeUid, CAddFriendDlg::kModeUid},
    {Tap::kModeMobile, CAddFriendDlg::kModeMobile},
    {Tap::kGroup, CAddFriendDlg::kGroupLine},
};
enum Command { kAdd = 1, kExit };

bool all_digits(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

CAddFriendDlg::CAddFriendDlg(controls::UiContext ui)
    : controls::Screen({.class_name = "CAddFriendDlg", .title = u"添加好友"}, std::move(ui)) {
  set_frame({.title = u"添加好友",
             .keys = {{u"添加", controls::kLeftKey, kAdd}, {u"退出", controls::kRightKey, kExit}}});
}

CAddFriendDlg::~CAddFriendDlg() {
  destroy();
}

int CAddFriendDlg::run_modal() {
  const int code = controls::Screen::run_modal();
  destroy();
  return code == 1 ? 1 : 0;
}

void CAddFriendDlg::prefill(int mode, std::u16string number, std::u16string display_name) {
  mode_ = mode == 1 ? 1 : 0;
  prefill_number_ = std::move(number);
  prefill_name_ = std::move(display_name);
}

bool CAddFriendDlg::on_create() {
  number_.create(window(), kNumberBox, 16);
  // The hint speaks of the number that was refused: editing it makes the
  // hint stale.
  number_.set_on_change([this] {
    if (hint_.empty()) return;
    hint_.clear();
    repaint();
  });
  name_.create(window(), kNameBox, 32);
  greeting_.create(window(), kGreetingBox, 32);
  number_.set_text(prefill_number_);
  name_.set_text(prefill_name_);
  windows().set_focus(number_.window());
  return true;
}

void CAddFriendDlg::on_destroy() {
  menu_.close();
  number_.destroy();
  name_.destroy();
  greeting_.destroy();
}

void CAddFriendDlg::set_mode(int mode) {
  mode_ = mode == 1 ? 1 : 0;
  repaint();
}

void CAddFriendDlg::choose_group() {
  groups_.clear();
  fx_lock_contacts();
  for (const fx_list* node = fx_get_group(); node; node = node->next)
    if (const auto* g = static_cast<const fx_group*>(node->data))
      groups_.push_back({g->id, utf8_to_utf16(g->name ? g->name : "")});
  fx_unlock_contacts();
  // The menu above the group line, as many rows as fit.
  constexpr int kMaxRows = 10;
  if (groups_.size() > kMaxRows) groups_.resize(kMaxRows);
  menu_.close();
  menu_.clear();
  menu_.set_id(kGroupMenu);
  menu_.set_title(u"请选择对方分组：");
  const int rows = int(groups_.size()) + 1;
  const int bottom = kGroupLine.top;
  const int top = std::max(
      0, bottom - controls::CPopupMenu::kTitleHeight - rows * controls::CPopupMenu::kItemHeight);
  menu_.set_rect(to_screen(Rect{60, top, 420, bottom}));
  menu_.add_item(u"无分组");
  for (const auto& g : groups_) menu_.add_item(g.name);
  menu_.show(window());
}

void CAddFriendDlg::on_menu(int menu_id, int index) {
  if (menu_id != kGroupMenu) return;
  if (index == 0) {
    group_id_ = 0;
    group_name_.clear();
  } else if (index > 0 && index <= int(groups_.size())) {
    group_id_ = groups_[size_t(index - 1)].id;
    group_name_ = groups_[size_t(index - 1)].name;
  }
  repaint();
}

void CAddFriendDlg::add() {
  const std::u16string number = number_.text();
  const std::u16string name = name_.text();
  const std::u16string greeting = greeting_.text();
  const size_t wanted = mode_ == 0 ? 9 : 11;
  // Digits only as well: anything else would make a uri the service cannot read.
  if (number.size() != wanted || !all_digits(number)) {
    hint_ = kWrongNumber;
    repaint();
    controls::CMsgBoxDlg::show(window(), kWrongNumber, kCaption);
    number_.clear();
    windows().set_focus(number_.window());
    return;
  }
  hint_.clear();
  const std::string number8 = utf16_to_utf8(number), name8 = utf16_to_utf8(name),
                    greeting8 = utf16_to_utf8(greeting);
  // The name the user sees is the contact's local name; the greeting is the
  // description the other side is shown. The result goes to the system
  // callback: this screen closes now.
  if (mode_ == 0)
    fx_add_buddy_by_uid(number8.c_str(), name8.c_str(), group_id_, greeting8.c_str(), nullptr,
                        nullptr);
  else
    fx_add_buddy_by_mobile(number8.c_str(), name8.c_str(), group_id_, greeting8.c_str(), nullptr,
                           nullptr);
  end_modal(1);
}

void CAddFriendDlg::on_command(int command) {
  if (command == kAdd) add();
  if (command == kExit) end_modal(0);
}

void CAddFriendDlg::on_tap(Point p) {
  const auto tap = controls::hit(kTaps, p);
  if (!tap) return;
  switch (*tap) {
    case Tap::kModeUid:
      set_mode(0);
      break;
    case Tap::kModeMobile:
      set_mode(1);
      break;
    case Tap::kGroup:
      choose_group();
      break;
  }
}

void CAddFriendDlg::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  ScreenFrame::background(p, t);
  // The two modes as radio entries (SettingBtn.png: cells 2 off, 3 on).
  const gfx::CSkinImage& radio = skin("SettingBtn.png");
  const Rect modes[] = {kModeUid, kModeMobile};
  const char16_t* captions[] = {u"塔文号", u"手机号"};
  for (int i = 0; i < 2; ++i) {
    const Rect cell{(i == mode_ ? 3 : 2) * 48, 0, (i == mode_ ? 4 : 3) * 48, 48};
    p.image(radio, modes[i].left, modes[i].top + 4, &cell);
    ScreenFrame::label(p, t, captions[i],
                       {modes[i].left + 56, modes[i].top, modes[i].right, modes[i].bottom}, 28);
  }
  ScreenFrame::label(p, t, mode_ == 0 ? u"请输入塔文号：" : u"请输入手机号：", kNumberLabel);
  ScreenFrame::label(p, t, u"请输入对方屏显名称：", kNameLabel);
  ScreenFrame::label(p, t, u"请输入显示给对方的名字：", kGreetingLabel);
  ScreenFrame::label(p, t, u"请选择对方分组：", kGroupLabel);
  p.fill_rounded(kGroupLine, t.btn_bk_color, t.btn_bg_alpha);
  const std::u16string group = group_id_ == 0 ? u"当前分组:无分组！" : u"当前分组:" + group_name_;
  p.text(group, kGroupLine.inset(8), 26, t.btn_text_color,
         text::kLeft | text::kVCenter | text::kSingleLine);
  p.text(hint_, kHint, 26, t.bg_text_color, text::kLeft | text::kWordBreak);
}

}  // namespace tavrin::screens
