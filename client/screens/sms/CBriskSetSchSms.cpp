#include "screens/sms/CBriskSetSchSms.h"

#include <vector>

#include "bridge/EngineBridge.h"
#include "controls/ShellBars.h"
#include "libtavrin.h"
#include "platform/text_codec.h"
#include "screens/sms/CDateTimePicker.h"
#include "screens/sms/LocalClock.h"

namespace tavrin::screens {

using namespace platform;

namespace {

constexpr char16_t kFailed[] = u"设置定时短信失败！";

// The receivers as the engine takes them. The engine reads only each
// account's id and uri, so copies of those serve, and a contact store
// replaced meanwhile cannot leave the list pointing at freed records.
struct ReceiverChain {
  std::vector<std::string> uris;
  std::vector<fx_account> accounts;
  std::vector<fx_list> nodes;

  explicit ReceiverChain(const std::vector<SmsContact>& receivers) {
    std::vector<long> ids;
    fx_lock_contacts();
    for (const SmsContact& r : receivers)
      if (const fx_account* a = fx_get_account_by_id(r.id); a && a->uri && *a->uri) {
        ids.push_back(a->id);
        uris.emplace_back(a->uri);
      }
    fx_unlock_contacts();
    accounts.resize(ids.size());
    nodes.resize(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
      accounts[i].id = ids[i];
      accounts[i].uri = uris[i].data();
      nodes[i].data = &accounts[i];
      nodes[i].next = i + 1 < ids.size() ? &nodes[i + 1] : nullptr;
    }
  }
  const fx_list* head() const { return nodes.empty() ? nullptr : nodes.data(); }
};

}  // namespace

CBriskSetSchSms::CBriskSetSchSms(WindowId owner)
    : SmsScreen("CBriskSetSchSms", u"设置定时短信", owner) {
  set_soft_keys(
      {soft_key(u"发送", 0, 120, int(Tap::kSend)), soft_key(u"退出", 360, 480, int(Tap::kExit))});
  set_tap_areas(kTaps);
}

CBriskSetSchSms::~CBriskSetSchSms() {
  destroy();
}

int CBriskSetSchSms::run_modal() {
  Screen::run_modal();
  destroy();
  return 0;
}

bool CBriskSetSchSms::on_create() {
  const int top = spec().rect.top;
  if (!box_.create(window(), kBox, kCounter, kLimit, &surface(), top)) return false;
  if (!lists_.create(window(), kContacts.offset(0, top), kReceivers.offset(0, top), &surface(),
                     {0, top}, &skin("TavrinInOut.png")))
    return false;
  lists_.set_contacts(all_contacts());
  windows().set_focus(box_.window());
  return true;
}

void CBriskSetSchSms::on_destroy() {
  lists_.destroy();
  box_.destroy();
}

void CBriskSetSchSms::set_send_time(const PickedTime& t) {
  time_ = t;
  send_time_ = t.send_time();
  repaint();
}

bool CBriskSetSchSms::choose_time() {
  CDateTimePicker picker(window());
  const auto chosen = picker.run();
  if (chosen) set_send_time(*chosen);
  repaint();
  return chosen.has_value();
}

void CBriskSetSchSms::send() {
  const std::u16string text = box_.text();
  if (text.empty()) {
    controls::sip_show();
    return;
  }
  const auto& receivers = lists_.receivers().items();
  if (receivers.empty()) {
    notice(u"请选择好友！");
    return;
  }
  const ReceiverChain chain(receivers);
  if (!time_) {
    notice(u"请设置定时时间！");
    return;
  }
  if (time_->before(local_now())) {
    notice(u"定时时间已过，请重新设置！");
    return;
  }
  if (receivers.size() > kConfirmAbove &&
      notice(confirm_text(receivers.size(), box_.count().parts), controls::CMsgBoxDlg::kYesNo) != 1)
    return;
  const int queued = chain.head() ? fx_set_schedule_sms(chain.head(), utf16_to_utf8(text).c_str(),
                                                        send_time_.c_str(), bridge::post_callback,
                                                        bridge::user_data(window()))
                                  : 0;
  box_.set_text(u"");
  controls::sip_hide();
  if (queued == 0) notice(kFailed);
}

bool CBriskSetSchSms::on_engine(bridge::EngineMessage& m) {
  switch (m.code()) {
    case FX_MSG_SCHEDULE_SMS_STORED:
      stored_.push_back(int(m.number()));
      notice(u"设置定时短信成功！");
      return true;
    case FX_MSG_SCHEDULE_SMS_NOT_STORED:
      notice(kFailed);
      return true;
    default:
      return false;
  }
}

void CBriskSetSchSms::on_stylus(StylusAction action, controls::Point p) {
  if (!lists_.stylus(action, to_screen(p))) SmsScreen::on_stylus(action, p);
}

void CBriskSetSchSms::on_command(int command) {
  switch (Tap(command)) {
    case Tap::kSend:
      send();
      break;
    case Tap::kExit:
      end_modal(0);
      break;
    case Tap::kSelectAll:
      lists_.select_all();
      repaint();
      break;
    case Tap::kClearAll:
      lists_.clear();
      repaint();
      break;
    case Tap::kSetTime:
      choose_time();
      break;
  }
}

bool CBriskSetSchSms::on_key(uint32_t key_code) {
  return key_code == key::kEscape;
}

intptr_t CBriskSetSchSms::on_screen_message(const Message& m) {
  if (m.id == kTextChanged) {
    box_.text_changed();
    return 0;
  }
  if (lists_.on_message(m) && m.id == msg::kItemTapped) repaint();  // the receiver count
  return 0;
}

void CBriskSetSchSms::paint_page(gfx::Painter& p) {
  if (!send_time_.empty()) paint_label(p, u"发送时间:" + utf8_to_utf16(send_time_), kTimeLine, 28);
  paint_label(p, u"已选择 " + utf8_to_utf16(std::to_string(lists_.receivers().size())) + u" 位好友",
              kCountLine, 26);
  // Three characters in a 90-pixel button: a face that leaves the
  // button a margin, so the labels do not run into its edges.
  paint_button(p, kSelectAll, u"全选：", kLabelHeight);
  paint_button(p, kClearAll, u"全删：", kLabelHeight);
  paint_button(p, kSetTime, u"设置时间");
  paint_label(p, u"请输入发送给朋友的信息：", kPrompt, 28);
}

void CBriskSetSchSms::paint_children() {
  box_.paint();
  lists_.paint();
}

}  // namespace tavrin::screens
