// The commands tavrin-cli reads from standard input (CliSession members).
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>

#include "cli_session.h"
#include "command_line.h"
#include "libtavrin.h"

namespace tavrin::cli {

namespace {

constexpr long kDefaultWaitSeconds = 30;
constexpr long kMaxWaitSeconds = 3600;

std::string text_or_empty(const char* s) {
  return s != nullptr ? s : "";
}

std::string take_new(char* s) {
  std::string out = s != nullptr ? s : "";
  std::free(s);
  return out;
}

// JSON array of already-built objects.
std::string array(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
  return out + "]";
}

const char* kHelp =
    "commands:\n"
    "  contacts | groups | blacklist | quns | me\n"
    "  send ID TEXT            chat line            sms ID TEXT      SMS to a contact\n"
    "  sms-self TEXT           SMS to your phone    sms-mobile NUMBER TEXT\n"
    "  nudge ID | end ID       nudge, end a chat\n"
    "  status CODE             66 online, 67 busy, 69 back soon, 70 meeting, 71 phone,\n"
    "                          72 lunch, 73 away, 68 hidden\n"
    "  nick TEXT | mood TEXT | refuse-sms DAYS\n"
    "  add NUMBER LOCALNAME GROUP DESC   (9-digit Tavrin or 11-digit mobile number)\n"
    "  delete ID | move ID GROUP | rename ID NAME | block ID | unblock ID\n"
    "  list-add NAME | list-rename GROUP NAME | list-delete GROUP\n"
    "  schedule-list | schedule-add \"YYYY-MM-DD HH:MM:SS\" TEXT ID [ID...] | schedule-delete ID\n"
    "  accept URI GROUP NAME | refuse URI\n"
    "  wait CODE [SECONDS]     wait for a message with that code (exit 3 on time-out)\n"
    "  logout | quit | help";

}  // namespace

void CliSession::queued(const std::string& command, int rc, const std::string& why_not) {
  if (rc == 0) {
    printer_.error(command, why_not);
    return;
  }
  JsonWriter j;
  j.field("result", command).field_bool("ok", true).field("state", "queued");
  printer_.result(j, command + ": sent");
}

bool CliSession::take_id(const std::string& command, std::string* args, long* id) {
  std::string word;
  if (!take_word(args, &word)) {
    printer_.error(command, command + ": missing ID");
    return false;
  }
  // Accept a 9-digit number, a mobile number or a contact id as listed.
  if (!parse_number(word, id) || *id <= 0 || *id > 0x7fffffffL) {
    printer_.error(command, command + ": bad ID '" + word + "'");
    return false;
  }
  return true;
}

bool CliSession::take_int(const std::string& command, std::string* args, const char* what,
                          long* value) {
  std::string word;
  if (!take_word(args, &word)) {
    printer_.error(command, command + ": missing " + what);
    return false;
  }
  if (!parse_number(word, value) || *value > 0x7fffffffL) {
    printer_.error(command, command + ": bad " + what + " '" + word + "'");
    return false;
  }
  return true;
}

bool CliSession::take_text(const std::string& command, std::string* args, const char* what,
                           std::string* text) {
  if (args->empty()) {
    printer_.error(command, command + ": missing " + what);
    return false;
  }
  *text = *args;
  return true;
}

void CliSession::execute(const std::string& line) {
  CommandLine c = split_command(line);
  const std::string& name = c.name;
  std::string& args = c.rest;
  if (name.empty() || name[0] == '#') return;
  auto* cb = &EventQueue::engine_callback;
  void* user = &queue_;
  long id = 0, n = 0;
  std::string text, word;

  const bool sends = name == "send" || name == "sms" || name == "sms-self" ||
                     name == "sms-mobile" || name == "nudge";
  if (sends && offline_) {
    printer_.error(name, name + ": offline, not sent (logging in again)");
    return;
  }

  if (name == "quit" || name == "exit") {
    finish(kExitOk);
  } else if (name == "logout") {
    if (logged_in_) fx_loginout();
    logged_in_ = false;
    JsonWriter j;
    j.field("result", "logout").field_bool("ok", true);
    printer_.result(j, "logged out");
    finish(kExitOk);
  } else if (name == "help") {
    cmd_help();
  } else if (name == "contacts") {
    cmd_contacts();
  } else if (name == "groups") {
    cmd_groups();
  } else if (name == "blacklist") {
    cmd_blacklist();
  } else if (name == "quns") {
    cmd_quns();
  } else if (name == "me") {
    cmd_me();
  } else if (name == "wait") {
    cmd_wait(name, args);
  } else if (name == "send") {
    if (take_id(name, &args, &id) && take_text(name, &args, "TEXT", &text))
      queued(name, fx_dialog_send(id, text.c_str(), cb, user),
             "cannot chat with " + std::to_string(id) +
                 " (unknown contact or too many waiting lines)");
  } else if (name == "sms") {
    if (take_id(name, &args, &id) && take_text(name, &args, "TEXT", &text))
      queued(name, fx_send_sms(id, text.c_str(), cb, user),
             "cannot send an SMS to " + std::to_string(id));
  } else if (name == "sms-self") {
    if (take_text(name, &args, "TEXT", &text))
      queued(name, fx_send_sms_to_self(text.c_str(), cb, user), "own number not known yet");
  } else if (name == "sms-mobile") {
    if (!take_word(&args, &word)) {
      printer_.error(name, name + ": missing NUMBER");
    } else if (!all_digits(word) || word.size() != 11) {
      printer_.error(name, name + ": NUMBER must be 11 digits");
    } else if (take_text(name, &args, "TEXT", &text)) {
      queued(name, fx_send_sms_by_mobile_no(word.c_str(), text.c_str(), cb, user),
             "cannot send an SMS to " + word);
    }
  } else if (name == "nudge") {
    if (take_id(name, &args, &id))
      queued(
          name, fx_send_nudge(id),
          "cannot nudge " + std::to_string(id) + " (offline, unknown, or nudged in the last 10 s)");
  } else if (name == "end") {
    if (take_id(name, &args, &id))
      queued(name, fx_end_dialog(id), "no chat open with " + std::to_string(id));
  } else if (name == "status") {
    if (take_int(name, &args, "CODE", &n)) {
      if (n < 66 || n > 74)
        printer_.error(name, "status: CODE must be 66..74");
      else
        queued(name, fx_set_user_state(static_cast<int>(n), nullptr, cb, user) == 0 ? 1 : 0,
               "status refused");
    }
  } else if (name == "nick") {
    if (take_text(name, &args, "TEXT", &text))
      queued(name, fx_set_user_nickname(text.c_str(), cb, user), "nickname refused");
  } else if (name == "mood") {
    // An empty mood text clears it.
    queued(name, fx_set_user_impresa(args.c_str(), cb, user), "mood refused");
  } else if (name == "refuse-sms") {
    if (take_int(name, &args, "DAYS", &n))
      queued(name, fx_set_user_refuse_sms_day(static_cast<int>(n), cb, user), "refused");
  } else if (name == "add") {
    std::string number, local;
    long group = 0;
    if (!take_word(&args, &number)) {
      printer_.error(name, "add: missing NUMBER");
    } else if (!is_login_id(number)) {
      printer_.error(name, "add: NUMBER must be 9 digits (Tavrin) or 11 (mobile)");
    } else if (!take_word(&args, &local)) {
      printer_.error(name, "add: missing LOCALNAME");
    } else if (take_int(name, &args, "GROUP", &group)) {
      const int g = static_cast<int>(group);
      const int rc =
          number.size() == 9
              ? fx_add_buddy_by_uid(number.c_str(), local.c_str(), g, args.c_str(), cb, user)
              : fx_add_buddy_by_mobile(number.c_str(), local.c_str(), g, args.c_str(), cb, user);
      queued(name, rc, "add refused");
    }
  } else if (name == "delete") {
    if (take_id(name, &args, &id))
      queued(name, fx_delete_buddy_by_id(id, cb, user), "no such contact " + std::to_string(id));
  } else if (name == "move") {
    if (take_id(name, &args, &id) && take_int(name, &args, "GROUP", &n))
      queued(name, fx_move_group_buddy_by_id(id, static_cast<int>(n), cb, user), "move refused");
  } else if (name == "rename") {
    if (take_id(name, &args, &id) && take_text(name, &args, "NAME", &text))
      queued(name, fx_set_buddyinfo(id, text.c_str(), cb, user), "rename refused");
  } else if (name == "block") {
    if (take_id(name, &args, &id))
      queued(name, fx_addto_blacklist_by_id(id, cb, user), "no such contact " + std::to_string(id));
  } else if (name == "unblock") {
    if (take_id(name, &args, &id))
      queued(name, fx_removefrom_blacklist_by_id(id, cb, user),
             "no such contact " + std::to_string(id));
  } else if (name == "list-add") {
    if (take_text(name, &args, "NAME", &text))
      queued(name, fx_add_buddylist(text.c_str(), cb, user), "list-add refused");
  } else if (name == "list-rename") {
    if (take_int(name, &args, "GROUP", &n) && take_text(name, &args, "NAME", &text))
      queued(name, fx_rename_buddylist(static_cast<int>(n), text.c_str(), cb, user),
             "list-rename refused");
  } else if (name == "list-delete") {
    if (take_int(name, &args, "GROUP", &n))
      queued(name, fx_delete_buddylist(static_cast<int>(n), cb, user), "list-delete refused");
  } else if (name == "schedule-list") {
    cmd_schedule_list();
  } else if (name == "schedule-add") {
    cmd_schedule_add(args);
  } else if (name == "schedule-delete") {
    if (take_int(name, &args, "ID", &n))
      queued(name, fx_delete_schedule_sms(static_cast<int>(n), cb, user),
             "no scheduled SMS " + std::to_string(n));
  } else if (name == "accept") {
    std::string uri;
    if (!take_word(&args, &uri)) {
      printer_.error(name, "accept: missing URI");
    } else if (take_int(name, &args, "GROUP", &n) && take_text(name, &args, "NAME", &text)) {
      queued(name, fx_handleContactRequest(uri.c_str(), 1, static_cast<int>(n), text.c_str()),
             "accept refused");
    }
  } else if (name == "refuse") {
    if (!take_word(&args, &word))
      printer_.error(name, "refuse: missing URI");
    else
      queued(name, fx_handleContactRequest(word.c_str(), 0, 0, nullptr), "refuse refused");
  } else {
    printer_.error("", "unknown command '" + name + "' (type 'help')");
  }
}

void CliSession::cmd_help() {
  JsonWriter j;
  j.field("result", "help").field("text", kHelp);
  printer_.result(j, kHelp);
}

void CliSession::cmd_wait(const std::string& name, std::string args) {
  long code = 0, seconds = kDefaultWaitSeconds;
  if (!take_int(name, &args, "CODE", &code)) return;
  if (!args.empty() && !take_int(name, &args, "SECONDS", &seconds)) return;
  seconds = std::min(seconds, kMaxWaitSeconds);
  const int want = static_cast<int>(code);
  const auto report = [&] {
    --unclaimed_[want];
    JsonWriter j;
    j.field("result", "wait").field_bool("ok", true).field("code", code);
    printer_.result(j, "wait: got " + std::to_string(code));
  };
  if (unclaimed_[want] > 0) return report();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  // Standard input stays unread meanwhile: the commands after the wait run
  // once it is over.
  while (!done_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    poll_once(false, static_cast<int>(left.count()));
    if (unclaimed_[want] > 0) return report();
  }
  if (done_) return;
  printer_.error(name, "wait: no message " + std::to_string(code) + " within " +
                           std::to_string(seconds) + " s");
  finish(kExitWaitTimeout);
}

void CliSession::cmd_contacts() {
  std::vector<std::string> items;
  std::string text;
  fx_lock_contacts();
  for (fx_account* a = fx_get_first_account(); a != nullptr; a = fx_get_next_account(a)) {
    if (a->kind == 0) continue;  // the user's own entry
    const std::string show = take_new(fx_get_account_show_name(a, 0));
    const int status = fx_get_online_status_by_account(a);
    const fx_personal_info* p = a->personal_info;
    JsonWriter j;
    j.field("id", a->id)
        .field("name", show)
        .field("uri", text_or_empty(a->uri))
        .field("local_name", text_or_empty(a->local_name))
        .field("nickname", p != nullptr ? text_or_empty(p->nickname) : "")
        .field("mood", p != nullptr ? text_or_empty(p->impresa) : "")
        .field("group", static_cast<long>(fx_get_account_group_id(a)))
        .field("status", static_cast<long>(status))
        .field("status_name", status_name(status))
        .field_bool("mobile", a->kind == 2)
        .field_bool("blocked", fx_is_InBlacklist_by_account(a) != 0);
    items.push_back(j.str());
    text += "  " + std::to_string(a->id) + "  " + show + "  [" + status_name(status) + "]  list " +
            std::to_string(fx_get_account_group_id(a));
    if (p != nullptr && p->impresa != nullptr && *p->impresa)
      text += "  \"" + std::string(p->impresa) + "\"";
    text += "\n";
  }
  fx_unlock_contacts();
  JsonWriter j;
  j.field("result", "contacts").field_bool("ok", true).field_raw("contacts", array(items));
  if (!text.empty()) text.pop_back();
  printer_.result(j, items.empty() ? "no contacts" : text);
}

void CliSession::cmd_groups() {
  std::vector<std::string> items;
  std::string text;
  fx_lock_contacts();
  for (fx_list* n = fx_get_group(); n != nullptr; n = n->next) {
    const auto* g = static_cast<const fx_group*>(n->data);
    JsonWriter j;
    j.field("id", static_cast<long>(g->id)).field("name", text_or_empty(g->name));
    items.push_back(j.str());
    text += "  " + std::to_string(g->id) + "  " + text_or_empty(g->name) + "\n";
  }
  fx_unlock_contacts();
  JsonWriter j;
  j.field("result", "groups").field_bool("ok", true).field_raw("groups", array(items));
  if (!text.empty()) text.pop_back();
  printer_.result(j, items.empty() ? "no buddy lists" : text);
}

void CliSession::cmd_blacklist() {
  std::vector<std::string> items;
  std::string text;
  fx_lock_contacts();
  for (fx_list* n = fx_get_blacklist(); n != nullptr; n = n->next) {
    const auto* b = static_cast<const fx_blocked*>(n->data);
    JsonWriter j;
    j.field("id", b->id)
        .field("uri", text_or_empty(b->uri))
        .field("name", text_or_empty(b->local_name));
    items.push_back(j.str());
    text += "  " + std::to_string(b->id) + "  " + text_or_empty(b->local_name) + "  " +
            text_or_empty(b->uri) + "\n";
  }
  fx_unlock_contacts();
  JsonWriter j;
  j.field("result", "blacklist").field_bool("ok", true).field_raw("blacklist", array(items));
  if (!text.empty()) text.pop_back();
  printer_.result(j, items.empty() ? "blacklist empty" : text);
}

void CliSession::cmd_quns() {
  std::vector<std::string> items;
  std::string text;
  fx_lock_contacts();
  for (fx_list* n = fx_get_qun(); n != nullptr; n = n->next) {
    const auto* q = static_cast<const fx_qun*>(n->data);
    const std::string show = take_new(fx_get_qun_show_name(q));
    long members = 0;
    if (q->info != nullptr)
      for (fx_list* m = q->info->members; m != nullptr; m = m->next) ++members;
    JsonWriter j;
    j.field("id", q->id)
        .field("uri", text_or_empty(q->uri))
        .field("name", show)
        .field("members", members);
    items.push_back(j.str());
    text += "  " + std::to_string(q->id) + "  " + show + "  (" + std::to_string(members) +
            " members)\n";
  }
  fx_unlock_contacts();
  JsonWriter j;
  j.field("result", "quns").field_bool("ok", true).field_raw("quns", array(items));
  if (!text.empty()) text.pop_back();
  printer_.result(j, items.empty() ? "no group chats" : text);
}

void CliSession::cmd_me() {
  fx_lock_contacts();
  const std::string uid = text_or_empty(fx_get_usr_uid());
  const std::string uri = text_or_empty(fx_get_usr_uri());
  const std::string mobile = text_or_empty(fx_get_usr_mobilenum());
  const std::string show = text_or_empty(fx_get_usr_show_name());
  const int state = fx_get_user_state();
  const fx_personal_info* p = fx_data_get_PersonalInfo();
  const std::string nick = p != nullptr ? text_or_empty(p->nickname) : "";
  const std::string mood = p != nullptr ? text_or_empty(p->impresa) : "";
  const int refuse = fx_get_user_refuse_sms_day();
  fx_unlock_contacts();
  JsonWriter j;
  j.field("result", "me")
      .field_bool("ok", true)
      .field("id", uid)
      .field("uri", uri)
      .field("mobile", mobile)
      .field("name", show)
      .field("nickname", nick)
      .field("mood", mood)
      .field("status", static_cast<long>(state))
      .field("status_name", status_name(state))
      .field("refuse_sms_days", static_cast<long>(refuse));
  std::string text = show + " (" + uid;
  if (!uri.empty()) text += ", " + uri;
  if (!mobile.empty()) text += ", mobile " + mobile;
  text += ")";
  if (state != 0) text += std::string(" [") + status_name(state) + "]";
  if (!mood.empty()) text += "  \"" + mood + "\"";
  printer_.result(j, text);
}

void CliSession::cmd_schedule_list() {
  std::vector<std::string> items;
  std::string text;
  fx_lock_contacts();
  for (fx_list* n = fx_data_get_smlist(); n != nullptr; n = n->next) {
    const auto* s = static_cast<const fx_schedule_sms*>(n->data);
    const std::string to = take_new(fx_covert_schedule_receiver_to_string(s->receivers));
    JsonWriter j;
    j.field("id", static_cast<long>(s->id))
        .field("time", text_or_empty(s->send_time))
        .field("text", text_or_empty(s->message))
        .field("to", to);
    items.push_back(j.str());
    text += "  " + std::to_string(s->id) + "  " + text_or_empty(s->send_time) + "  to " + to +
            "  " + text_or_empty(s->message) + "\n";
  }
  fx_unlock_contacts();
  JsonWriter j;
  j.field("result", "schedule-list").field_bool("ok", true).field_raw("schedule", array(items));
  if (!text.empty()) text.pop_back();
  printer_.result(j, items.empty() ? "no scheduled SMS" : text);
}

void CliSession::cmd_schedule_add(std::string args) {
  const std::string name = "schedule-add";
  std::string when;
  if (!take_word(&args, &when)) {
    printer_.error(name, "schedule-add: missing \"YYYY-MM-DD HH:MM:SS\"");
    return;
  }
  // TEXT comes before the ids: the ids are the trailing numbers of the line.
  std::vector<long> ids;
  while (true) {
    const auto sp = args.find_last_of(" \t");
    if (sp == std::string::npos) break;
    long id = 0;
    if (!parse_number(args.substr(sp + 1), &id)) break;
    ids.insert(ids.begin(), id);
    args.erase(sp);
    while (!args.empty() && (args.back() == ' ' || args.back() == '\t')) args.pop_back();
  }
  if (ids.empty() || args.empty()) {
    printer_.error(name,
                   "schedule-add: usage schedule-add \"YYYY-MM-DD HH:MM:SS\" TEXT ID [ID...]");
    return;
  }
  // The receivers are accounts of the store; the list nodes are ours.
  std::vector<fx_list> nodes(ids.size());
  fx_lock_contacts();
  size_t count = 0;
  for (long id : ids) {
    fx_account* a = fx_get_account_by_id(id);
    if (a == nullptr) continue;
    nodes[count].data = a;
    nodes[count].next = nullptr;
    if (count > 0) nodes[count - 1].next = &nodes[count];
    ++count;
  }
  fx_unlock_contacts();
  if (count == 0) {
    printer_.error(name, "schedule-add: none of the ids is a contact");
    return;
  }
  queued(name,
         fx_set_schedule_sms(nodes.data(), args.c_str(), when.c_str(), &EventQueue::engine_callback,
                             &queue_),
         "schedule-add refused");
}

}  // namespace tavrin::cli
