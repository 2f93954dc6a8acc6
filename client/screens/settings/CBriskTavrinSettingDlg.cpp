#include "screens/settings/CBriskTavrinSettingDlg.h"

#include <cstdio>

#include "platform/secret_service.h"
#include "screens/router/ScreenRouter.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "shell/switch_settings.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr const char16_t* kSwitchTexts[] = {u"震动",       u"好友上线声音", u"好友消息声音",
                                            u"群消息声音", u"屏蔽群消息",   u"保存聊天记录"};
constexpr const char16_t* kStatusTexts[] = {u"在线", u"隐身", u"忙碌", u"离开"};
constexpr const char16_t* kTabTexts[] = {u"好友", u"提醒", u"状态"};
// By shell::TouchKeyboard value.
constexpr const char16_t* kTouchTexts[] = {u"自动", u"开启", u"关闭"};

void save_switches_now() {
  if (!shell::save_switches(shell::switch_settings_file(), shell::switch_settings()))
    std::fprintf(stderr, "tavrin: cannot write the switches file\n");
}

// Vibration and message sound live in the settings file: written on 确定,
// so that a crash later does not lose them.
void save_settings_now() {
  if (!shell::save_settings(shell::app_paths().settings_file(), shell::client_settings()))
    std::fprintf(stderr, "tavrin: cannot write the settings file\n");
}

}  // namespace

CBriskTavrinSettingDlg::CBriskTavrinSettingDlg(int initial_status, bool offline,
                                               controls::UiContext ui)
    : controls::Screen({.class_name = "CBriskTavrinSettingDlg", .title = u"个人设置"},
                       std::move(ui)),
      status_(initial_status >= 0 && initial_status < kStatusCount ? initial_status : 0),
      offline_(offline) {
  const auto& s = shell::client_settings();
  const auto& more = shell::switch_settings();
  switches_ = {s.vibrate != 0,        more.online_sound != 0,         s.sound != 0,
               more.group_sound != 0, more.block_group_messages != 0, more.keep_chat_log != 0};
  touch_ = more.touch_keyboard;
  // The bands are part of the screen's skin.
  set_frame({.title = u"个人设置",
             .keys = {{u"确定", controls::kLeftKey, kOk}, {u"退出", controls::kRightKey, kExit}},
             .bands = false});
}

CBriskTavrinSettingDlg::~CBriskTavrinSettingDlg() {
  destroy();
}

int CBriskTavrinSettingDlg::run_modal() {
  // The modal loop's own codes are not negative: the status index is
  // carried as kStatusBase + index.
  const int code = controls::Screen::run_modal() - kStatusBase;
  destroy();
  return code >= 0 && code < kStatusCount ? code : kCancelled;
}

void CBriskTavrinSettingDlg::show_page(int page) {
  if (page < 0 || page > 2 || page == page_) return;
  page_ = page;
  repaint();
}

void CBriskTavrinSettingDlg::toggle(int index) {
  if (index < 0 || index >= kSwitchCount) return;
  const bool on = !switches_[size_t(index)];
  switches_[size_t(index)] = on;
  auto& more = shell::switch_settings();
  switch (index) {
    case 0:
      shell::client_settings().vibrate = on;
      break;
    case 1:
      more.online_sound = on;
      break;
    case 2:
      shell::client_settings().sound = on;
      break;
    case 3:
      more.group_sound = on;
      break;
    case 4:
      more.block_group_messages = on;
      break;
    case 5:
      more.keep_chat_log = on;
      break;
  }
  if (index != 0 && index != 2) save_switches_now();
  repaint();
}

void CBriskTavrinSettingDlg::next_touch_keyboard() {
  touch_ = (touch_ + 1) % 3;
  shell::switch_settings().touch_keyboard = touch_;
  save_switches_now();
  shell::apply_touch_keyboard();
  repaint();
}

void CBriskTavrinSettingDlg::choose_status(int index) {
  if (index < 0 || index >= kStatusCount || index == status_) return;
  status_ = index;
  repaint();
}

void CBriskTavrinSettingDlg::add_friend() {
  if (offline_) return;  // the request needs the service
  ScreenRouter::instance().open({.route = Route::kAddFriend, .owner = window()});
  repaint();
}

void CBriskTavrinSettingDlg::on_command(int command) {
  if (command == kOk) {
    save_settings_now();
    end_modal(kStatusBase + status_);
  }
  if (command == kExit) end_modal(kStatusBase + kCancelled);
}

void CBriskTavrinSettingDlg::on_tap(Point p) {
  for (int i = 0; i < 3; ++i)
    if (kTab[i].contains(p)) return show_page(i);
  const int rows = page_ == 0 ? 1 : page_ == 1 ? kSwitchCount + 1 : kStatusCount;
  for (int i = 0; i < rows; ++i) {
    if (!row(i).contains(p)) continue;
    if (page_ == 0)
      add_friend();
    else if (page_ == 1 && i == kTouchRow)
      next_touch_keyboard();
    else if (page_ == 1)
      toggle(i);
    else
      choose_status(i);
    return;
  }
}

void CBriskTavrinSettingDlg::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  const unsigned line = text::kLeft | text::kVCenter | text::kSingleLine;
  p.fill_rect({0, 0, 480, 800}, t.bg_color, 255);
  p.image(skin("SettingBk.png"), 0, 0);
  // The pages on the theme's own background, so their text reads in any theme.
  p.fill_rect({82, 52, 480, 688}, t.bg_color, t.bg_alpha);
  for (int i = 0; i < 3; ++i) {
    p.image(skin(i == page_ ? "BtnSel.png" : "BtnNormal.png"), kTab[i].left, kTab[i].top);
    // The theme's tab colours are chosen for its own skin; on a light tab
    // of another they would fade, so the caption takes a shade that reads.
    const gfx::Colour ink = i == page_ ? t.btn_text_color : t.bottom_text_color;
    p.text(kTabTexts[i], kTab[i], 26, p.legible(ink, kTab[i].inset(8)),
           text::kCenter | text::kVCenter | text::kSingleLine);
  }
  const gfx::CSkinImage& boxes = skin("SettingBtn.png");  // box off, on, radio off, on
  auto cell = [](int n) { return Rect{n * 48, 0, (n + 1) * 48, 48}; };
  if (page_ == 0 && offline_) {
    p.text(u"登录后才能添加好友", row(0), 28, t.bg_text_color,
           text::kCenter | text::kVCenter | text::kSingleLine);
  } else if (page_ == 0) {
    const Rect r = row(0);
    p.image(skin("AddBuddy.png"), r.left + 4, r.top + 8);
    p.text(u"添加好友", {r.left + 84, r.top, r.right, r.bottom}, 30, t.bg_text_color, line);
  } else if (page_ == 1) {
    for (int i = 0; i < kSwitchCount; ++i) {
      const Rect r = row(i);
      const Rect c = cell(switches_[size_t(i)] ? 1 : 0);
      p.image(boxes, r.left + 8, r.top + 16, &c);
      p.text(kSwitchTexts[i], {r.left + 72, r.top, r.right, r.bottom}, 30, t.bg_text_color, line);
      p.hline(r.bottom - 1, r.left, r.right, t.line_color);
    }
    // A choice of three rather than a switch: its name, and what is chosen.
    const Rect r = row(kTouchRow);
    p.text(u"触摸键盘", {r.left + 72, r.top, r.right, r.bottom}, 30, t.bg_text_color, line);
    p.text(kTouchTexts[touch_ >= 0 && touch_ < 3 ? touch_ : 0],
           {r.left, r.top, r.right - 16, r.bottom}, 30, t.bg_text_color,
           text::kRight | text::kVCenter | text::kSingleLine);
    p.hline(r.bottom - 1, r.left, r.right, t.line_color);
    // Where the login screen keeps saved passwords on this machine.
    const Rect note{r.left + 8, r.bottom, r.right - 8, 686};
    p.text(platform::SecretService::available() ? u"已保存的密码存放在系统密钥环中"
                                                : u"密码保存在本机（未找到系统密钥环）",
           note, 22, p.legible(t.bg_text_color, note), text::kSingleLine | text::kVCenter);
  } else {
    for (int i = 0; i < kStatusCount; ++i) {
      const Rect r = row(i);
      const Rect c = cell(i == status_ ? 3 : 2);
      p.image(boxes, r.left + 8, r.top + 16, &c);
      p.text(kStatusTexts[i], {r.left + 72, r.top, r.right, r.bottom}, 30, t.bg_text_color, line);
      p.hline(r.bottom - 1, r.left, r.right, t.line_color);
    }
  }
}

}  // namespace tavrin::screens
