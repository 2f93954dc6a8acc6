// The commands that print what the engine's store holds: contacts, buddy
// lists, blacklist, group chats, the user's own details and the scheduled
// SMS (CliSession members). Each reads the store under fx_lock_contacts and
// prints after letting go of it.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_session.h"
#include "libtavrin.h"

namespace tavrin::cli {

namespace {

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

}  // namespace

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

}  // namespace tavrin::cli
