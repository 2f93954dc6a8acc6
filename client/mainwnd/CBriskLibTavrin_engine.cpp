// The main window's engine messages: presence and contact changes, new
// lines and send results, command results, and the network error with its
// relogin cycle. What p1 and p2 carry, and who frees them, is the bridge's
// one table (bridge/EngineMessages.h): each message frees its own words.

#include <cstdio>

#include "bridge/EngineBridge.h"
#include "libtavrin.h"
#include "mainwnd/CBriskLibTavrin.h"
#include "mainwnd/header_texts.h"
#include "platform/text_codec.h"
#include "screens/chat/ChatLines.h"
#include "screens/chat/ChatText.h"
#include "shell/switch_settings.h"
#include "storage/StorageGuard.h"

namespace tavrin::mainwnd {

namespace {
// Codes the public header gives no name: a login step (fetching contact
// details failed), and one the window consumes without a word.
constexpr int kContactDetailsFailed = 13;
constexpr int kUnnamedConsumed = 136;
}  // namespace

bool CBriskLibTavrin::on_engine(bridge::EngineMessage& m) {
  const int code = m.code();
  if (bridge::is_send_result(code)) {
    send_result(m);
    return true;
  }
  // Ending (logged in elsewhere): lines are still kept, nothing else
  // changes the header, the tree or the session.
  if (finished_ && code != FX_MSG_CHAT_MESSAGE) return true;
  if (code >= FX_MSG_STATUS_FIRST && code <= FX_MSG_STATUS_LAST) {
    contact_changed(m.contact());
    return true;
  }
  switch (code) {
    case FX_MSG_LOGIN_WRONG_PASSWORD:
    case FX_MSG_LOGIN_FAILED:
    case FX_MSG_LOGIN_BAD_REQUEST:
    case FX_MSG_LOGIN_NOT_FOUND:
    case kContactDetailsFailed:
    case FX_MSG_NAV_BAD_ID:
      // A relogin attempt failed. The next one is the watchdog's: at once
      // would spin for as long as the server cannot be reached.
      return true;
    case FX_MSG_LOGIN_OK:
      relogin_complete();
      return true;
    case FX_MSG_CHAT_MESSAGE:
      route_message(m.contact(), {});
      return true;
    case FX_MSG_NUDGE:  // the chat shows nothing of it: the desktop and the vibrator do
      if (const auto sender = read_contact(m.contact()); sender && notifier_)
        notifier_->nudged(sender->id, sender->name);
      return true;
    case FX_MSG_CHAT_MESSAGE_SO:
    case FX_MSG_BUDDYLIST_ADDED:
    case FX_MSG_BUDDYLIST_DELETED:
    case FX_MSG_BUDDYLIST_RENAMED:
    case FX_MSG_CONTACT_REQUEST:
    case FX_MSG_REFUSE_SMS_DAY_SET:
    case kUnnamedConsumed:
    case FX_MSG_BUDDYLIST_ADD_FAILED:
    case FX_MSG_BUDDYLIST_DELETE_FAILED:
    case FX_MSG_BUDDYLIST_RENAME_FAILED:
    case FX_MSG_LOCALNAME_SET_FAILED:
      return true;  // consumed; what p1 carries is freed with the message
    case FX_MSG_CONTACT_REFUSE_SMS_DAYS:
    case FX_MSG_CONTACT_CHANGED:
    case FX_MSG_BLACKLIST_ADDED:
    case FX_MSG_BLACKLIST_REMOVED:
      contact_changed(m.contact());
      return true;
    case FX_MSG_BUDDY_MOVED:  // moved to another buddy list: its row changes section
      rebuild_tree();
      box(u"移动好友成功！", u"塔文提示");
      return true;
    case FX_MSG_BUDDY_MOVE_FAILED:
      box(u"移动好友失败！", u"塔文提示");
      return true;
    case FX_MSG_BUDDY_DELETED: {
      // Deleted on the server: the engine keeps the account until the next
      // contact list, the tree lets it go now.
      deleted_.insert(uint32_t(m.contact()));
      ContactTreeModel::Touched touched;
      keep_selection([&] { touched = model_.remove(uint32_t(m.contact())); });
      refresh(touched);
      return true;
    }
    case FX_MSG_ADD_BUDDY_RESULT:
      // p1 0: added, p2 its id: in the tree at once (a contact deleted
      // earlier this session too), whatever presence follows; else the refusal.
      if (m.p1() == 0 && m.p2() != 0) {
        deleted_.erase(uint32_t(m.p2()));
        contact_changed(long(m.p2()));
      } else if (m.p1() == 404)
        box(u"添加好友失败：没有这个塔文号码！", u"塔文提示");
      else if (m.p1() != 0)
        box(u"添加好友失败！", u"塔文提示");
      return true;
    case FX_MSG_LOCALNAME_SET:
    case FX_MSG_STATE_SET:
    case FX_MSG_IMPRESA_SET:
    case FX_MSG_IMPRESA_SET_FAILED:
    case FX_MSG_NICKNAME_SET:
    case FX_MSG_NICKNAME_SET_FAILED:
    case FX_MSG_SCHEDULE_SMS_NOT_STORED:
    case FX_MSG_SCHEDULE_SMS_STORED:
    case FX_MSG_SCHEDULE_SMS_NOT_DELETED:
    case FX_MSG_SCHEDULE_SMS_DELETED:
      command_result(code);
      return true;
    case FX_MSG_SOCKET_ERROR:
      network_error();
      return true;
    case FX_MSG_DEREGISTERED:
      logged_in_elsewhere();
      return true;
    default:
      return false;
  }
}

void CBriskLibTavrin::contact_changed(long id) {
  if (const std::optional<ContactRecord> c = read_contact(id))
    contact_updated(logged_in_ ? *c : offline(*c));
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
  // 1. Senders the engine does not know are ignored; their lines are let go,
  // so the service hears them answered and does not hand them out again.
  const std::optional<ContactRecord> sender = read_contact(contact_id);
  if (!sender) {
    if (text.empty()) screens::chat::let_go_unshown(contact_id);
    return;
  }
  // 2-3. Sound, vibration, notice; the header says it when we are in front.
  // A line the open chat with its sender shows at once needs no notice over it.
  const bool in_view = text.empty() && chat_ && chat_->contact_id() == contact_id &&
                       windows().foreground() && windows().active() == chat_->window();
  const auto tell = [&](std::u16string_view said) {
    if (notifier_)
      notifier_->notify(Notifier::kNewMessage, sender->id, sender->name, in_view, said);
    if (windows().foreground() && windows().active() == window())
      show_notice(fill(u"来自%s的新消息", sender->name));
  };
  // 6. A send report waits for the chat window.
  if (!text.empty()) {
    tell(text);
    pending_.emplace_back(contact_id, text);
    return;
  }
  const bool shown = chat_ && chat_->contact_id() == contact_id;
  // The open chat with the sender fetches and logs the line itself; any
  // other line goes into the log now, and the chat shows it from there
  // (and the desktop's notification its text).
  std::u16string said;
  if (!shown) {
    std::optional<std::u16string> kept = keep_received(contact_id, sender->name);
    if (!kept) return;  // only delivery reports an SMS screen took: nothing new to tell
    said = std::move(*kept);
  }
  note_conversation(sender->id);
  tell(said);
  if (chat_) {
    // 4. Another contact's line marks its sender.
    refresh(model_.mark_recent(*sender, !shown));
    chat_->notify(contact_id, {});
  } else {
    // 5. The sender is marked until the chat is opened.
    refresh(model_.mark_recent(*sender, true));
  }
}

std::optional<std::u16string> CBriskLibTavrin::keep_received(long contact_id,
                                                             const std::u16string& name) {
  // Without a chat log the lines wait in the engine's queue for the chat.
  if (!log_ || !shell::switch_settings().keep_chat_log) return std::u16string();
  std::optional<std::u16string> latest;
  std::optional<storage::CppSQLite3Exception> failure;
  const std::u16string prefix = name + std::u16string(screens::chat::kNameColon);
  // Only a line the log took is answered (the chat shows it from there);
  // the service keeps the others.
  screens::chat::take_received(contact_id, name, [&](screens::chat::ChatLine& line) {
    failure = storage::tryStorage(
        [&] { log_->append(std::int32_t(contact_id), line.text, line.time, line.when); });
    if (failure) return false;
    latest = line.text.starts_with(prefix) ? line.text.substr(prefix.size()) : line.text;
    return true;
  });
  if (!failure) {
    store_failure_told_ = false;
  } else if (!store_failure_told_) {
    store_failure_told_ = true;
    std::fprintf(stderr,
                 "tavrin: a received line cannot be stored (%s); the server keeps it and the "
                 "lines after it for a later login\n",
                 platform::utf16_to_utf8(failure->errorMessage()).c_str());
    box(u"收到的消息未能保存到聊天记录（" + std::u16string(failure->errorMessage()) +
        u"）。未保存的消息留在服务器上：请释放存储空间，重新登录后即可收到。");
  }
  return latest;
}

void CBriskLibTavrin::send_result(bridge::EngineMessage& m) {
  const fx_msg* record = m.record();
  const std::u16string text = record ? screens::chat::plain_text(record->text) : u"";
  // The line shows and is logged in its new state, wherever it is.
  if (auto settled = outbox_.on_result(m.code(), m.contact(), record))
    screens::chat::show_settled(*settled, log_ ? &*log_ : nullptr, chat_.get());
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
    case FX_MSG_STATE_SET:
    case FX_MSG_NICKNAME_SET:
      header_from_profile();
      number_label_ = mainwnd::number_label(number_);
      repaint_rows(kHeaderStrip.top, kHeaderStrip.bottom);
      box(code == FX_MSG_STATE_SET ? u"设置状态成功" : u"设置昵称成功", u"设置提示");
      break;
    case FX_MSG_IMPRESA_SET: {
      const OwnInfo own = read_own();
      mood_ = own.mood;
      own_state_ = own.state;
      number_label_ = mainwnd::number_label(number_) + u"  " + status_word(own.state);
      repaint_rows(kHeaderStrip.top, kHeaderStrip.bottom);
      box(u"设置心情签名成功", u"设置提示");
      break;
    }
    default: {
      // Results that only say so; a local name set, a contact added say nothing.
      struct Said {
        int code;
        const char16_t* text;
        const char16_t* title;
      };
      static constexpr Said kSaid[] = {
          {FX_MSG_IMPRESA_SET_FAILED, u"设置心情签名失败", u"设置提示"},
          {FX_MSG_NICKNAME_SET_FAILED, u"设置昵称失败", u"设置提示"},
          {FX_MSG_SCHEDULE_SMS_NOT_STORED, u"设置定时短信失败！", u"定时短信提示"},
          {FX_MSG_SCHEDULE_SMS_STORED, u"设置定时短信成功！", u"定时短信提示"},
          {FX_MSG_SCHEDULE_SMS_NOT_DELETED, u"删除定时短信失败！", u"定时短信提示"},
          {FX_MSG_SCHEDULE_SMS_DELETED, u"删除定时短信成功！", u"定时短信提示"},
      };
      for (const Said& said : kSaid)
        if (said.code == code) box(said.text, said.title);
      break;
    }
  }
}

void CBriskLibTavrin::network_error() {
  // Within a relogin cycle the cycle goes on by itself; signed out, the
  // user has been told.
  if (net_box_ || relogging_ || signed_out() || finished_) return;
  // Without a session nobody's presence is known: the header and the tree
  // say so until the relogin succeeds.
  go_offline();
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
  // Lines held unanswered came on the old connection: the service hands
  // them out again on this one.
  screens::chat::drop_held_lines();
  online_notes_from_ = std::chrono::steady_clock::now() + kPresenceSettleTime;
  register_callback();
  if (chat_) chat_->set_logged_in(true);
  // Online again: the own status and everyone's presence as the new
  // session reports them.
  build_header();
  rebuild_tree();
  box(u"重新登陆成功！");
}

void CBriskLibTavrin::logged_in_elsewhere() {
  // The session is over before the box: no line still waiting can get its
  // result, and the header and the tree show no presence. The connection's
  // end, which follows, starts no relogin.
  finished_ = true;
  exit_code_ = 0;
  kill_timer(kReloginTimer);
  relogging_ = false;
  fail_unanswered();
  go_offline();
  box(u"你的塔文在其他地方登陆，程序将退出！");
  // Straight out: no logout, no settings written.
  windows().quit(0);
}

}  // namespace tavrin::mainwnd
