#include "screens/sms/CBriskToSelfMsg.h"

#include "bridge/EngineBridge.h"
#include "controls/ShellBars.h"
#include "libtavrin.h"
#include "platform/clipboard.h"
#include "platform/text_codec.h"

namespace tavrin::screens {

using namespace platform;

namespace {

// The own mobile number: the profile's, else the one the user record holds.
std::u16string own_mobile() {
  std::u16string number;
  fx_lock_contacts();
  const fx_personal_info* info = fx_data_get_PersonalInfo();
  if (info && info->mobile_no && *info->mobile_no)
    number = utf8_to_utf16(info->mobile_no);
  else if (const char* m = fx_get_usr_mobilenum(); m && *m)
    number = utf8_to_utf16(m);
  fx_unlock_contacts();
  return number;
}

}  // namespace

CBriskToSelfMsg::CBriskToSelfMsg(WindowId owner)
    : SmsScreen("CBriskToSelfMsg", u"给自己发短信", owner) {
  set_soft_keys({soft_key(u"发送", 0, 120, int(Tap::kSend)),
                 soft_key(u"粘贴剪贴板", 160, 320, int(Tap::kPaste)),
                 soft_key(u"退出", 360, 480, int(Tap::kExit))});
  set_tap_areas(kTaps);
}

CBriskToSelfMsg::~CBriskToSelfMsg() {
  destroy();
}

int CBriskToSelfMsg::run_modal() {
  Screen::run_modal();
  destroy();
  return 0;
}

bool CBriskToSelfMsg::on_create() {
  mobile_ = own_mobile();
  if (!box_.create(window(), kBox, kCounter, kLimit, &surface(), spec().rect.top)) return false;
  windows().set_focus(box_.window());
  return true;
}

void CBriskToSelfMsg::on_destroy() {
  box_.destroy();
}

void CBriskToSelfMsg::send() {
  if (sending_) return;  // one SMS at a time: its answer is still awaited
  const std::u16string text = box_.text();
  if (text.empty()) {
    notice(u"请输入你要发送的内容！");
    controls::sip_show();
    return;
  }
  if (mobile_.empty()) {
    notice(u"没有找到你的手机号码，无法发送短信！");
    return;
  }
  if (fx_send_sms_by_mobile_no(utf16_to_utf8(mobile_).c_str(), utf16_to_utf8(text).c_str(),
                               bridge::post_callback, bridge::user_data(window())) == 0) {
    notice(u"发送失败！");
    return;
  }
  sending_ = true;
  sent_ = text;
  delivery_.clear();
  // The engine sets no time-out for an SMS to a number: this screen does.
  set_timer(kAnswerTimer, kAnswerWaitMs);
  controls::sip_hide();
  repaint();
}

void CBriskToSelfMsg::finish(bool ok) {
  sending_ = false;
  kill_timer(kAnswerTimer);
  // Sent: the box is ready for the next text. Failed: the text stays to try again.
  if (ok) box_.set_text(u"");
  repaint();
  notice(ok ? u"发送成功！" : u"发送失败！");
}

bool CBriskToSelfMsg::on_engine(bridge::EngineMessage& m) {
  switch (m.code()) {
    case FX_MSG_SMS_OK:
      if (sending_) finish(true);
      return true;
    case FX_MSG_SMS_FAILED:
    case FX_MSG_SMS_TIMEOUT:
    case FX_MSG_SMS_REFUSED:
      if (sending_) finish(false);
      return true;
    default:
      return false;
  }
}

bool CBriskToSelfMsg::take_report(const SmsReport& report) {
  if (sent_.empty() || report.text != sent_) return false;
  sent_.clear();
  delivery_ = report.delivered ? u"短信已送达" : u"短信未送达";
  repaint();
  return true;
}

void CBriskToSelfMsg::on_timer(uintptr_t id) {
  if (id == kAnswerTimer && sending_) finish(false);
}

void CBriskToSelfMsg::paste() {
  if (auto text = Clipboard::text()) box_.set_text(*text);
}

void CBriskToSelfMsg::on_command(int command) {
  switch (Tap(command)) {
    case Tap::kSend:
      send();
      break;
    case Tap::kPaste:
      paste();
      break;
    case Tap::kExit:
      end_modal(0);
      break;
  }
}

bool CBriskToSelfMsg::on_key(uint32_t key_code) {
  return key_code == key::kEscape;  // left only by 退出
}

intptr_t CBriskToSelfMsg::on_screen_message(const Message& m) {
  if (m.id == kTextChanged) box_.text_changed();
  return 0;
}

void CBriskToSelfMsg::paint_page(gfx::Painter& p) {
  paint_label(p, u"请输入你要发送的内容", kPrompt, 28);
  paint_button(p, kSendButton, u"发送短信");
  paint_label(p, mobile_.empty() ? u"本机号码：未知" : u"本机号码：" + mobile_, kNumberLine, 26);
  if (sending_)
    paint_label(p, u"正在发送...", kStatusLine, 26);
  else if (!delivery_.empty())
    paint_label(p, delivery_, kStatusLine, 26);
}

void CBriskToSelfMsg::paint_children() {
  box_.paint();
}

}  // namespace tavrin::screens
