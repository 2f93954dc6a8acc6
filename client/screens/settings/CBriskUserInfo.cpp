#include "screens/settings/CBriskUserInfo.h"

#include "bridge/EngineBridge.h"
#include "controls/CMsgBoxDlg.h"
#include "controls/ShellBars.h"
#include "libtavrin.h"
#include "platform/text_codec.h"
#include "screens/files/ScreenFrame.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;

namespace {

constexpr char16_t kTitle[] = u"个人资料";
constexpr char16_t kCaption[] = u"塔文提示";

std::u16string text(const char* s) {
  return s ? utf8_to_utf16(s) : std::u16string();
}

}  // namespace

CBriskUserInfo::CBriskUserInfo(controls::UiContext ui)
    : controls::Screen({.class_name = "CBriskUserInfo", .title = kTitle}, std::move(ui)) {
  set_frame({.title = kTitle,
             .keys = {{u"确定", controls::kLeftKey, kOk}, {u"退出", controls::kRightKey, kExit}}});
}

CBriskUserInfo::~CBriskUserInfo() {
  destroy();
}

int CBriskUserInfo::run_modal() {
  const int code = controls::Screen::run_modal();
  // The touch keyboard was this screen's: it goes with it.
  if (controls::sip_shown() == 1) (void)controls::sip_hide();
  destroy();
  return code;
}

void CBriskUserInfo::read_profile() {
  fx_lock_contacts();
  show_name_ = text(fx_get_usr_show_name());
  uid_ = text(fx_get_usr_uid());
  const fx_personal_info* info = fx_data_get_PersonalInfo();
  current_nickname_ = info ? text(info->nickname) : u"";
  current_mood_ = info ? text(info->impresa) : u"";
  fx_unlock_contacts();
}

bool CBriskUserInfo::on_create() {
  read_profile();
  // The engine keeps 64 bytes of a nickname and 256 of a mood text; the
  // boxes hold GB2312, at most two bytes a character.
  nickname_.create(window(), kNickBox, 42);
  mood_.create(window(), kMoodBox, 170);
  nickname_.set_text(current_nickname_);
  mood_.set_text(current_mood_);
  windows().set_focus(nickname_.window());
  return true;
}

void CBriskUserInfo::on_destroy() {
  nickname_.destroy();
  mood_.destroy();
}

void CBriskUserInfo::confirm() {
  sent_ = 0;
  const std::u16string nickname = nickname_.text();
  if (nickname.empty()) {
    controls::CMsgBoxDlg::show(window(), u"请输入你的新的昵称！", kCaption);
    return;
  }
  const std::u16string mood = mood_.text();
  if (mood.empty()) {
    controls::CMsgBoxDlg::show(window(), u"请输入你的新的签名！", kCaption);
    return;
  }
  if (nickname != current_nickname_ &&
      fx_set_user_nickname(utf16_to_utf8(nickname).c_str(), bridge::post_callback,
                           bridge::user_data(window())))
    ++sent_;
  if (mood != current_mood_ &&
      fx_set_user_impresa(utf16_to_utf8(mood).c_str(), bridge::post_callback,
                          bridge::user_data(window())))
    ++sent_;
}

bool CBriskUserInfo::on_engine(bridge::EngineMessage& m) {
  switch (m.code()) {
    case FX_MSG_NICKNAME_SET:
    case FX_MSG_IMPRESA_SET:
      read_profile();
      result_ = m.code() == FX_MSG_NICKNAME_SET ? u"昵称已修改" : u"签名已修改";
      repaint();
      return true;
    case FX_MSG_NICKNAME_SET_FAILED:
      controls::CMsgBoxDlg::show(window(), u"修改昵称失败！", kCaption);
      return true;
    case FX_MSG_IMPRESA_SET_FAILED:
      controls::CMsgBoxDlg::show(window(), u"修改签名失败！", kCaption);
      return true;
    default:
      return false;
  }
}

void CBriskUserInfo::on_command(int command) {
  if (command == kOk) confirm();
  if (command == kExit) end_modal(0);
}

void CBriskUserInfo::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  ScreenFrame::background(p, t);
  p.image(skin("TavrinActInfo.png"), kAvatar.left, kAvatar.top);
  const unsigned line = text::kLeft | text::kVCenter | text::kSingleLine;
  p.text(show_name_, kName, 30, t.bg_text_color, line);
  p.text(u"塔文号码：" + uid_, kNumber, 24, t.bg_text_color, line);
  p.text(u"昵称：" + current_nickname_, kNickLine, 24, t.bg_text_color, line);
  p.text(u"心情签名：" + current_mood_, kMoodLine, 24, t.bg_text_color, line);
  p.hline(kNickHint.top - 8, 10, 470, t.line_color);
  ScreenFrame::label(p, t, u"你可以编辑你的昵称!", kNickHint);
  ScreenFrame::label(p, t, u"请输入新的昵称：", kNickPrompt);
  ScreenFrame::label(p, t, u"你可以编辑你的签名!", kMoodHint);
  ScreenFrame::label(p, t, u"请输入新的签名：", kMoodPrompt);
  p.text(result_, kResult, 24, t.bg_text_color, line);
}

}  // namespace tavrin::screens
