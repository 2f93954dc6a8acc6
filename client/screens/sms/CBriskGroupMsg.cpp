#include "screens/sms/CBriskGroupMsg.h"

#include <string>

#include "bridge/EngineBridge.h"
#include "controls/ShellBars.h"
#include "gfx/Painter.h"
#include "libtavrin.h"
#include "platform/clipboard.h"
#include "platform/text_codec.h"
#include "shell/theme_colors.h"

namespace tavrin::screens {

using namespace platform;

namespace {

// The text as the result line shows it: escaped angle brackets back as typed.
std::u16string unescaped(std::u16string text) {
  for (const auto& [from, to] :
       {std::pair<std::u16string, std::u16string>{u"&lt;", u"<"}, {u"&gt;", u">"}})
    for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at))
      text.replace(at, from.size(), to), at += to.size();
  return text;
}

}  // namespace

CBriskGroupMsg::CBriskGroupMsg(WindowId owner, int group_id)
    : SmsScreen("CBriskGroupMsg", u"群发短信", owner), group_id_(group_id) {
  set_soft_keys({soft_key(u"发送", 0, 120, int(Tap::kSend)),
                 soft_key(u"粘贴剪贴板", 180, 300, int(Tap::kPaste)),
                 soft_key(u"退出", 360, 480, int(Tap::kExit))});
  set_tap_areas(kTaps);
}

CBriskGroupMsg::~CBriskGroupMsg() {
  destroy();
}

int CBriskGroupMsg::run_modal() {
  Screen::run_modal();
  destroy();
  return 0;
}

bool CBriskGroupMsg::on_create() {
  const int top = spec().rect.top;
  if (!box_.create(window(), kBox, kCounter, kLimit, &surface(), top)) return false;
  if (!lists_.create(window(), kContacts.offset(0, top), kReceivers.offset(0, top), &surface(),
                     {0, top}, &skin("TavrinInOut.png")))
    return false;
  lists_.set_contacts(group_contacts(group_id_));
  const controls::Rect r = kResults.offset(0, top);
  result_list_.set_id(kResultsId);
  if (!result_list_.create(window(), r.left, r.top, r.right, r.bottom)) return false;
  result_list_.set_background(&surface(), {0, top});
  result_list_.set_row_painter(
      [this](gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& rect, bool) {
        const auto& t = shell::theme_colors();
        gfx::Painter p(c);
        const size_t i = size_t(row.value);
        const bool failed = i < results_.size() && (results_[i].outcome == Outcome::kFailed ||
                                                    results_[i].outcome == Outcome::kNotDelivered);
        const gfx::Rect line{rect.left + 6, rect.top, rect.right - 6, rect.bottom};
        p.text(row.text, line, 22, failed ? p.legible(0x5050F0, line) : t.menu_text_color,
               text::kLeft | text::kVCenter | text::kSingleLine);
      });
  windows().set_focus(box_.window());
  return true;
}

void CBriskGroupMsg::on_destroy() {
  result_list_.destroy();
  lists_.destroy();
  box_.destroy();
}

std::u16string CBriskGroupMsg::line_of(const Result& r) {
  std::u16string head;
  switch (r.outcome) {
    case Outcome::kWaiting:
      head = u"正在发给" + r.name + u":";
      break;
    case Outcome::kSent:
      head = u"我对" + r.name + u"说:";
      break;
    case Outcome::kFailed:
      head = u"对" + r.name + u"发送失败:";
      break;
    case Outcome::kDelivered:
      head = u"我对" + r.name + u"说(已送达):";
      break;
    case Outcome::kNotDelivered:
      head = u"我对" + r.name + u"说(未送达):";
      break;
  }
  return head + unescaped(r.text);
}

void CBriskGroupMsg::send() {
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
  if (receivers.size() > kConfirmAbove &&
      notice(confirm_text(receivers.size(), box_.count().parts), controls::CMsgBoxDlg::kYesNo) != 1)
    return;
  const std::string utf8 = utf16_to_utf8(text);
  for (const SmsContact& r : receivers) {
    Result result{r.id, r.name, text, Outcome::kWaiting};
    if (fx_send_sms(r.id, utf8.c_str(), bridge::post_callback, bridge::user_data(window())) == 0)
      result.outcome = Outcome::kFailed;
    results_.push_back(std::move(result));
  }
  controls::sip_hide();
  show_results();
}

bool CBriskGroupMsg::on_engine(bridge::EngineMessage& m) {
  Outcome outcome;
  switch (m.code()) {
    case FX_MSG_SMS_OK:
      outcome = Outcome::kSent;
      break;
    case FX_MSG_SMS_FAILED:
    case FX_MSG_SMS_REFUSED:
    case FX_MSG_SMS_TIMEOUT:
      outcome = Outcome::kFailed;
      break;
    default:
      return false;
  }
  // The oldest line still open for that receiver; one that timed out
  // stays open for the late answer the engine may still report.
  const bool timeout = m.code() == FX_MSG_SMS_TIMEOUT;
  for (Result& r : results_) {
    if (r.id != m.contact()) continue;
    if (r.outcome == Outcome::kWaiting || (r.timed_out && !timeout)) {
      r.outcome = outcome;
      r.timed_out = timeout;
      break;
    }
  }
  show_results();
  return true;
}

bool CBriskGroupMsg::take_report(const SmsReport& report) {
  for (Result& r : results_) {
    if (r.id != report.contact_id || r.outcome != Outcome::kSent) continue;
    if (r.text != report.text && unescaped(r.text) != report.text) continue;
    r.outcome = report.delivered ? Outcome::kDelivered : Outcome::kNotDelivered;
    show_results();
    return true;
  }
  return false;
}

void CBriskGroupMsg::show_results() {
  result_list_.clear();
  for (size_t i = results_.size(); i-- > 0;)
    result_list_.add_row({line_of(results_[i]), intptr_t(i), 0});
  result_list_.relayout();
}

void CBriskGroupMsg::paste() {
  if (auto text = Clipboard::text()) box_.set_text(*text);
}

void CBriskGroupMsg::on_stylus(StylusAction action, controls::Point p) {
  const controls::Point screen = to_screen(p);
  if (lists_.stylus(action, screen)) return;
  bool taken = false;
  switch (action) {
    case StylusAction::kDown:
      taken = result_list_.stylus_down(screen);
      break;
    case StylusAction::kMove:
      taken = result_list_.stylus_move(screen);
      break;
    case StylusAction::kUp:
      taken = result_list_.stylus_up(screen);
      break;
  }
  if (!taken) SmsScreen::on_stylus(action, p);
}

void CBriskGroupMsg::on_command(int command) {
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
    case Tap::kSelectAll:
      lists_.select_all();
      break;
    case Tap::kClearAll:
      lists_.clear();
      break;
  }
}

bool CBriskGroupMsg::on_key(uint32_t key_code) {
  return key_code == key::kEscape;
}

intptr_t CBriskGroupMsg::on_screen_message(const Message& m) {
  if (m.id == kTextChanged) {
    box_.text_changed();
    return 0;
  }
  if (m.id == msg::kListStep && m.wparam == kResultsId) {
    result_list_.inertia_step();
    return 0;
  }
  lists_.on_message(m);
  return 0;
}

void CBriskGroupMsg::paint_page(gfx::Painter& p) {
  p.image(skin("TavrinGroupMsg.png"), 12, 6);
  paint_label(p, u"请输入发送给朋友的信息", kPrompt, 28);
  paint_button(p, kSelectAll, u"全选");
  paint_button(p, kClearAll, u"全删");
}

void CBriskGroupMsg::paint_children() {
  box_.paint();
  result_list_.relayout();
  lists_.paint();
}

}  // namespace tavrin::screens
