// The main window's engine messages: presence and contact changes, new
// lines and send results, command results, and the network error with its
// relogin cycle. What p1 and p2 carry, and who frees them, is the bridge's
// one table (bridge/EngineMessages.h): each message frees its own words.
#include <cstdlib>

#include "bridge/EngineBridge.h"
#include "libtavrin.h"
#include "mainwnd/CBriskLibTavrin.h"
#include "mainwnd/header_texts.h"
#include "platform/text_codec.h"
#include "shell/switch_settings.h"

namespace tavrin::mainwnd {

bool CBriskLibTavrin::on_engine(bridge::EngineMessage& m) {
  const int code = m.code();
  if (bridge::is_send_result(code) && code != 35) {
    send_result(m);
    return true;
  }
  switch (code) {
    case 4:
    case 5:
    case 6:
    case 7:
    case 13:
    case 241:
      // A relogin attempt failed. The next one is the watchdog's: at once
      // would spin for as long as the server cannot be reached.
      return true;
    case 14:
      relogin_complete();
      return true;
    case 16:
      route_message(m.contact(), {});
      return true;
    case 17:
    case 81:
    case 84:
    case 87:
    case 93:
    case 106:
    case 136:
    case 82:
    case 85:
    case 88:
    case 91:
      return true;
    case 79:
    case 80:
    case 113:
    case 116:
      contact_changed(m.contact());
      return true;
    case 132:  // moved to another buddy list: its row changes section
      rebuild_tree();
      box(u"移动好友成功！", u"塔文提示");
      return true;
    case 133:
      box(u"移动好友失败！", u"塔文提示");
      return true;
    case 129: {
      // Deleted on the server: the engine keeps the account until the next
      // contact list, the tree lets it go now.
      deleted_.insert(uint32_t(m.contact()));
      ContactTreeModel::Touched touched;
      keep_selection([&] { touched = model_.remove(uint32_t(m.contact())); });
      refresh(touched);
      return true;
    }
    case 94:
      // p1 0: added (the tree learns it from presence); else the refusal.
      if (m.p1() == 404)
        box(u"添加好友失败：没有这个塔文号码！", u"塔文提示");
      else if (m.p1() != 0)
        box(u"添加好友失败！", u"塔文提示");
      return true;
    case 90:
    case 99:
    case 102:
    case 103:
    case 104:
    case 105:
    case 119:
    case 120:
    case 122:
    case 123:
      command_result(code);
      return true;
    case 97:
      network_error();
      return true;
    case 98:
      logged_in_elsewhere();
      return true;
    default:
      if (code >= 66 && code <= 74) {
        contact_changed(m.contact());
        return true;
      }
      return false;
  }
}

void CBriskLibTavrin::contact_changed(long id) {
  if (const std::optional<ContactRecord> c = read_contact(id)) contact_updated(*c);
}

void CBriskLibTavrin::contact_updated(const ContactRecord& c) {
  const controls::TreeItem* before = model_.find(c.id);
  const bool came_online = before && !counts_online(before->status) && counts_online(c.status);
  refresh(model_.update(c, deleted_.count(c.id) == 0));
  if (came_online && notifier_ && std::chrono::steady_clock::now() >= online_notes_from_)
    notifier_->friend_online(c.id, c.name);
}

void CBriskLibTavrin::route_message(long contact_id, const std::u16string& text) {
  // A group chat's lines are dropped unseen while the user blocks them (a
  // switch of the settings screen).
  if (text.empty() && shell::switch_settings().block_group_messages &&
      fx_is_qun_by_id(contact_id)) {
    while (fx_msg* line = fx_get_msg(contact_id)) fx_destroy_msg(line);
    return;
  }
  // 1. Senders the engine does not know are ignored.
  const std::optional<ContactRecord> sender = read_contact(contact_id);
  if (!sender) return;
  // 2-3. Sound, vibration, notice; the header says it when we are in front.
  // A line the open chat with its sender shows at once needs no notice over it.
  const bool in_view = text.empty() && chat_ && chat_->contact_id() == contact_id &&
                       windows().foreground() && windows().active() == chat_->window();
  if (notifier_) notifier_->notify(Notifier::kNewMessage, sender->id, sender->name, in_view);
  if (windows().foreground() && windows().active() == window())
    show_notice(fill(u"来自%s的新消息", sender->name));
  // 6. A send report waits for the chat window.
  if (!text.empty()) {
    pending_.emplace_back(contact_id, text);
    return;
  }
  note_conversation(sender->id);
  if (chat_) {
    // 4. The open chat fetches the line itself; another contact's line
    // marks its sender.
    refresh(model_.mark_recent(*sender, chat_->contact_id() != contact_id));
    chat_->notify(contact_id, {});
  } else {
    // 5. The line waits in the engine's queue until the chat is opened.
    refresh(model_.mark_recent(*sender, true));
  }
}

void CBriskLibTavrin::send_result(bridge::EngineMessage& m) {
  std::u16string text;
  if (const fx_msg* record = m.record(); record && record->text) {
    if (char* plain = fx_msg_no_format(record->text)) {
      text = platform::utf8_to_utf16(plain);
      std::free(plain);
    }
  }
  if (auto report = reports_.on_result(m.code(), text)) route_message(m.contact(), *report);
}

void CBriskLibTavrin::command_result(int code) {
  const auto header_from_profile = [this] {
    const OwnInfo own = read_own();
    own_state_ = own.state;
    mood_ = own.mood;
    name_label_ = own.nickname;
    if (own.state >= 66 && own.state <= 70) name_label_ += status_suffix(own.state);
  };
  switch (code) {
    case 99:
    case 104:
      header_from_profile();
      number_label_ = mainwnd::number_label(number_);
      repaint_rows(kHeaderStrip.top, kHeaderStrip.bottom);
      box(code == 99 ? u"设置状态成功" : u"设置昵称成功", u"设置提示");
      break;
    case 102: {
      const OwnInfo own = read_own();
      mood_ = own.mood;
      own_state_ = own.state;
      number_label_ = mainwnd::number_label(number_) + u"  " + status_word(own.state);
      repaint_rows(kHeaderStrip.top, kHeaderStrip.bottom);
      box(u"设置心情签名成功", u"设置提示");
      break;
    }
    default: {
      // Results that only say so; 90, 94 and 129 say nothing.
      struct Said {
        int code;
        const char16_t* text;
        const char16_t* title;
      };
      static constexpr Said kSaid[] = {
          {103, u"设置心情签名失败", u"设置提示"},
          {105, u"设置昵称失败", u"设置提示"},
          {119, u"设置定时短信失败！", u"定时短信提示"},
          {120, u"设置定时短信成功键！", u"定时短信提示"},
          {122, u"删除定时短信失败！", u"定时短信提示"},
          {123, u"删除定时短信成功！", u"定时短信提示"},
      };
      for (const Said& said : kSaid)
        if (said.code == code) box(said.text, said.title);
      break;
    }
  }
}

void CBriskLibTavrin::network_error() {
  // Within a relogin cycle the cycle goes on by itself.
  if (net_box_ || relogging_) return;
  logged_in_ = false;
  if (chat_) chat_->set_logged_in(false);
  if (!auto_relogin_) {
    box(u"您已经离线！");
    return;
  }
  net_box_ = true;
  box(u"系统网络错误，塔文将在5秒后自动重新登陆！", u"塔文提示", 1, true);
  net_box_ = false;
  if (auto_relogin_ && !finished_) relogin();
}

void CBriskLibTavrin::relogin() {
  relogging_ = true;
  kill_timer(kReloginTimer);
  set_timer(kReloginTimer, kReloginMs);
  ++relogin_attempts_;
  fx_relogin(bridge::post_callback, bridge::user_data(window()));
}

void CBriskLibTavrin::relogin_complete() {
  kill_timer(kReloginTimer);
  relogging_ = false;
  logged_in_ = true;
  online_notes_from_ = std::chrono::steady_clock::now() + kPresenceSettleTime;
  register_callback();
  if (chat_) chat_->set_logged_in(true);
  box(u"重新登陆成功！");
}

void CBriskLibTavrin::logged_in_elsewhere() {
  box(u"你的塔文在其他地方登陆，程序将退出！");
  // Straight out: no logout, no settings written.
  finished_ = true;
  exit_code_ = 0;
  windows().quit(0);
}

}  // namespace tavrin::mainwnd
