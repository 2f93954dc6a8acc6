// The commands tavrin-cli reads from standard input: the command table,
// the dispatch of a line to its row, and the commands that need more than
// one engine call (CliSession members). The listings are in listings.cpp.
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "cli_session.h"
#include "command_line.h"
#include "libtavrin.h"
#include "tavrin/line_limit.h"

namespace tavrin::cli {

namespace {

constexpr long kDefaultWaitSeconds = 30;
constexpr long kMaxWaitSeconds = 3600;
// Where the engine answers the requests: the session's queue.
constexpr fx_msg_cb cb = &EventQueue::engine_callback;
constexpr WhenOffline kAnyTime = WhenOffline::kRuns;
constexpr WhenOffline kOnlineOnly = WhenOffline::kRefused;

}  // namespace

// Every command, one row each; help is written from the rows in this order.
const std::vector<Command>& CliSession::commands() {
  using K = ArgKind;
  using S = CliSession;
  using A = CommandArgs;
  static const std::vector<Command> table = {
      {"contacts",
       {},
       "your contacts, their status and list",
       kAnyTime,
       [](S& s, A&) { s.cmd_contacts(); }},
      {"groups", {}, "your buddy lists", kAnyTime, [](S& s, A&) { s.cmd_groups(); }},
      {"blacklist", {}, "the contacts you block", kAnyTime, [](S& s, A&) { s.cmd_blacklist(); }},
      {"quns", {}, "your group chats", kAnyTime, [](S& s, A&) { s.cmd_quns(); }},
      {"me", {}, "your own number, name, status and mood", kAnyTime, [](S& s, A&) { s.cmd_me(); }},
      {"send",
       {{K::kId, "ID"}, {K::kText, "TEXT"}},
       "a chat line",
       kOnlineOnly,
       [](S& s, A& a) {
         if (a.text.size() > kMaxLineBytes)
           return s.printer_.error(a.command, "line too long: " + std::to_string(a.text.size()) +
                                                  " bytes, at most " +
                                                  std::to_string(kMaxLineBytes) + " are sent");
         s.queued(a.command, fx_dialog_send(a.id, a.text.c_str(), cb, &s.queue_),
                  "cannot chat with " + std::to_string(a.id) +
                      " (unknown contact or too many waiting lines)");
       }},
      {"sms",
       {{K::kId, "ID"}, {K::kText, "TEXT"}},
       "an SMS to a contact",
       kOnlineOnly,
       [](S& s, A& a) {
         s.queued(a.command, fx_send_sms(a.id, a.text.c_str(), cb, &s.queue_),
                  "cannot send an SMS to " + std::to_string(a.id));
       }},
      {"sms-self",
       {{K::kText, "TEXT"}},
       "an SMS to your own phone",
       kOnlineOnly,
       [](S& s, A& a) {
         s.queued(a.command, fx_send_sms_to_self(a.text.c_str(), cb, &s.queue_),
                  "own number not known yet");
       }},
      {"sms-mobile",
       {{K::kMobile, "NUMBER"}, {K::kText, "TEXT"}},
       "an SMS to a mobile number",
       kOnlineOnly,
       [](S& s, A& a) {
         s.queued(a.command,
                  fx_send_sms_by_mobile_no(a.words[0].c_str(), a.text.c_str(), cb, &s.queue_),
                  "cannot send an SMS to " + a.words[0]);
       }},
      {"nudge",
       {{K::kId, "ID"}},
       "nudge a contact you chat with",
       kOnlineOnly,
       [](S& s, A& a) {
         s.queued(a.command, fx_send_nudge(a.id),
                  "cannot nudge " + std::to_string(a.id) +
                      " (offline, unknown, or nudged in the last 10 s)");
       }},
      {"end",
       {{K::kId, "ID"}},
       "end a chat",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_end_dialog(a.id), "no chat open with " + std::to_string(a.id));
       }},
      {"status",
       {{K::kInt, "CODE"}},
       "66 online, 67 busy, 68 hidden, 69 back soon, 70 meeting, 71 phone, 72 lunch, 73 away",
       kAnyTime,
       [](S& s, A& a) {
         const long code = a.numbers[0];
         if (code < 66 || code > 74)
           s.printer_.error(a.command, "status: CODE must be 66..74");
         else
           s.queued(a.command, fx_set_user_state(int(code), nullptr, cb, &s.queue_) == 0 ? 1 : 0,
                    "status refused");
       }},
      {"nick",
       {{K::kText, "TEXT"}},
       "your nickname",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_set_user_nickname(a.text.c_str(), cb, &s.queue_),
                  "nickname refused");
       }},
      {"mood",
       {{K::kOptText, "TEXT"}},
       "your mood text (none clears it)",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_set_user_impresa(a.text.c_str(), cb, &s.queue_), "mood refused");
       }},
      {"refuse-sms",
       {{K::kInt, "DAYS"}},
       "refuse SMS for that many days",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_set_user_refuse_sms_day(int(a.numbers[0]), cb, &s.queue_),
                  "refused");
       }},
      {"add",
       {{K::kLoginId, "NUMBER"},
        {K::kWord, "LOCALNAME"},
        {K::kInt, "GROUP"},
        {K::kOptText, "DESC"}},
       "add a contact by 9-digit Tavrin or 11-digit mobile number",
       kAnyTime,
       [](S& s, A& a) {
         const std::string& number = a.words[0];
         const auto add = number.size() == 9 ? fx_add_buddy_by_uid : fx_add_buddy_by_mobile;
         s.queued(a.command,
                  add(number.c_str(), a.words[1].c_str(), int(a.numbers[0]), a.text.c_str(), cb,
                      &s.queue_),
                  "add refused");
       }},
      {"delete",
       {{K::kId, "ID"}},
       "delete a contact",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_delete_buddy_by_id(a.id, cb, &s.queue_),
                  "no such contact " + std::to_string(a.id));
       }},
      {"move",
       {{K::kId, "ID"}, {K::kInt, "GROUP"}},
       "move a contact to another buddy list",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_move_group_buddy_by_id(a.id, int(a.numbers[0]), cb, &s.queue_),
                  "move refused");
       }},
      {"rename",
       {{K::kId, "ID"}, {K::kText, "NAME"}},
       "a contact's local name",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_set_buddyinfo(a.id, a.text.c_str(), cb, &s.queue_),
                  "rename refused");
       }},
      {"block",
       {{K::kId, "ID"}},
       "block a contact",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_addto_blacklist_by_id(a.id, cb, &s.queue_),
                  "no such contact " + std::to_string(a.id));
       }},
      {"unblock",
       {{K::kId, "ID"}},
       "unblock a contact",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_removefrom_blacklist_by_id(a.id, cb, &s.queue_),
                  "no such contact " + std::to_string(a.id));
       }},
      {"list-add",
       {{K::kText, "NAME"}},
       "a new buddy list",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_add_buddylist(a.text.c_str(), cb, &s.queue_), "list-add refused");
       }},
      {"list-rename",
       {{K::kInt, "GROUP"}, {K::kText, "NAME"}},
       "rename a buddy list",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_rename_buddylist(int(a.numbers[0]), a.text.c_str(), cb, &s.queue_),
                  "list-rename refused");
       }},
      {"list-delete",
       {{K::kInt, "GROUP"}},
       "delete a buddy list",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_delete_buddylist(int(a.numbers[0]), cb, &s.queue_),
                  "list-delete refused");
       }},
      {"schedule-list",
       {},
       "your scheduled SMS",
       kAnyTime,
       [](S& s, A&) { s.cmd_schedule_list(); }},
      {"schedule-add",
       {{K::kOptText, "ARGS"}},
       "an SMS sent at that time to those contacts",
       kAnyTime,
       [](S& s, A& a) { s.cmd_schedule_add(a.text); },
       "\"YYYY-MM-DD HH:MM:SS\" TEXT ID [ID...]"},
      {"schedule-delete",
       {{K::kInt, "ID"}},
       "delete a scheduled SMS",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_delete_schedule_sms(int(a.numbers[0]), cb, &s.queue_),
                  "no scheduled SMS " + std::to_string(a.numbers[0]));
       }},
      {"accept",
       {{K::kWord, "URI"}, {K::kInt, "GROUP"}, {K::kText, "NAME"}},
       "accept a contact request into a buddy list",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command,
                  fx_handleContactRequest(a.words[0].c_str(), 1, int(a.numbers[0]), a.text.c_str()),
                  "accept refused");
       }},
      {"refuse",
       {{K::kWord, "URI"}},
       "refuse a contact request",
       kAnyTime,
       [](S& s, A& a) {
         s.queued(a.command, fx_handleContactRequest(a.words[0].c_str(), 0, 0, nullptr),
                  "refuse refused");
       }},
      {"wait",
       {{K::kInt, "CODE"}, {K::kOptInt, "SECONDS"}},
       "wait for a message with that code (exit 3 on time-out)",
       kAnyTime,
       [](S& s, A& a) { s.cmd_wait(a); }},
      {"logout", {}, "log out and exit", kAnyTime, [](S& s, A&) { s.cmd_logout(); }},
      {"quit", {}, "exit (logging out)", kAnyTime, [](S& s, A&) { s.finish(kExitOk); }},
      {"exit", {}, "the same as quit", kAnyTime, [](S& s, A&) { s.finish(kExitOk); }},
      {"help", {}, "this list", kAnyTime, [](S& s, A&) { s.cmd_help(); }},
  };
  return table;
}

void CliSession::execute(const std::string& line) {
  const CommandLine c = split_command(line);
  if (c.name.empty() || c.name[0] == '#') return;
  const auto& table = commands();
  const auto row =
      std::find_if(table.begin(), table.end(), [&](const Command& r) { return r.name == c.name; });
  if (row == table.end()) {
    printer_.error("", "unknown command '" + c.name + "' (type 'help')");
    return;
  }
  if (row->offline == WhenOffline::kRefused && offline_) {
    printer_.error(c.name, c.name + ": offline, not sent (logging in again)");
    return;
  }
  CommandArgs args;
  std::string error;
  if (!read_args(*row, c.rest, &args, &error)) {
    printer_.error(c.name, error);
    return;
  }
  row->run(*this, args);
}

void CliSession::queued(const std::string& command, int rc, const std::string& why_not) {
  if (rc == 0) {
    printer_.error(command, why_not);
    return;
  }
  JsonWriter j;
  j.field("result", command).field_bool("ok", true).field("state", "queued");
  printer_.result(j, command + ": sent");
}

void CliSession::cmd_logout() {
  if (logged_in_) fx_loginout();
  logged_in_ = false;
  JsonWriter j;
  j.field("result", "logout").field_bool("ok", true);
  printer_.result(j, "logged out");
  finish(kExitOk);
}

void CliSession::cmd_help() {
  const std::string text = help_text(commands());
  JsonWriter j;
  j.field("result", "help").field("text", text);
  printer_.result(j, text);
}

void CliSession::cmd_wait(const CommandArgs& args) {
  const std::string& name = args.command;
  const long code = args.numbers[0];
  const long seconds =
      std::min(args.numbers.size() > 1 ? args.numbers[1] : kDefaultWaitSeconds, kMaxWaitSeconds);
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
