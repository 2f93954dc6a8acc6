#include "printer.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "bridge/EngineMessages.h"
#include "libtavrin.h"
#include "terminal_text.h"

namespace tavrin::cli {

namespace {

std::string now_hms() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string take_new(char* s) {
  std::string out = s != nullptr ? s : "";
  std::free(s);
  return out;
}

std::string readable(const Event& e, const Decoded& d) {
  const std::string who = contact_name(e.p2);
  const std::string t = "[" + now_hms() + "] ";
  switch (e.code) {
    case FX_MSG_LOGIN_CONNECTED:
      return "login: connected, registering";
    case FX_MSG_LOGIN_CHALLENGED:
      return "login: challenge answered";
    case FX_MSG_LOGIN_REGISTERED:
      return "login: registered, fetching contacts";
    case FX_MSG_LOGIN_CONTACTS_LOADED:
      return "login: contacts loaded, fetching presence";
    case FX_MSG_LOGIN_OK:
      return "login: complete";
    case FX_MSG_LOGIN_WRONG_PASSWORD:
      return "login failed (4): wrong password or unknown id";
    case FX_MSG_LOGIN_FAILED:
      switch (e.p1) {
        case FX_TLS_UNTRUSTED:
          return "login failed (5): the server's TLS certificate is not signed by a trusted CA"
                 " (see --ca); nothing was sent";
        case FX_TLS_NAME:
          return "login failed (5): the server's TLS certificate is for another name or address;"
                 " nothing was sent";
        case FX_TLS_HANDSHAKE:
          return "login failed (5): no TLS handshake with the server (not a TLS port?);"
                 " nothing was sent";
        case 403:  // the service holding logins back after wrong passwords
          return "login failed (5): logins to this account are being slowed because of wrong "
                 "passwords; try again later";
        default:
          return "login failed (5): no connection or server error";
      }
    case FX_MSG_LOGIN_BAD_REQUEST:
      return "login failed (6): bad request";
    case FX_MSG_LOGIN_NOT_FOUND:
      return "login failed (7): no such account";
    case FX_MSG_CONTACTS_LOAD_FAILED:
      return "login failed (10): contact list not loaded";
    case FX_MSG_QUN_LIST_FAILED:
      return "login failed (146): group chats not loaded";
    case FX_MSG_NAV_BAD_ID:
      return "login failed (241): navigation refused the id";
    case FX_MSG_CHAT_MESSAGE:
    case FX_MSG_CHAT_MESSAGE_SO: {
      std::string from = contact_name(d.from);
      if (d.source != 0) from = contact_name(d.source) + " in " + from;
      return t + from + ": " + (d.has_chat ? d.text : e.p1_text.value_or(""));
    }
    case FX_MSG_NUDGE:
      return t + who + " nudged you";
    case FX_MSG_DIALOG_INVITED:
      return who + " opened a chat with you";
    case FX_MSG_DIALOG_TRYING:
      return "chat with " + who + ": inviting";
    case FX_MSG_DIALOG_OPEN:
      return "chat with " + who + ": open";
    case FX_MSG_DIALOG_REFUSED:
      return "chat with " + who + ": refused";
    case FX_MSG_DEREGISTERED:
      return "signed out: this account logged in elsewhere";
    case FX_MSG_SOCKET_ERROR:
      return "connection error " + std::to_string(e.p1);
    case FX_MSG_CONTACT_REQUEST:
      return "contact request from " + e.p2_text.value_or("") + ": " + e.p1_text.value_or("") +
             "  (accept URI GROUP NAME / refuse URI)";
    case FX_MSG_CONTACT_CHANGED:
      return who + ": details changed";
    case FX_MSG_CONTACT_REFUSE_SMS_DAYS:
      return who + " refuses SMS for " + std::to_string(e.p1) + " days";
    case FX_MSG_FILE_OFFER:
      return who + " offers a file: " + e.offer_name + " (" + std::to_string(e.offer_size) +
             " bytes) " + e.offer_url;
    case FX_MSG_SCHEDULE_SMS_LIST_OK:
      return "scheduled SMS fetched";
    case FX_MSG_SCHEDULE_SMS_LIST_FAILED:
      return "scheduled SMS not fetched";
    default:
      break;
  }
  if (e.code >= FX_MSG_STATUS_FIRST && e.code <= FX_MSG_STATUS_LAST)
    return who + " is now " + status_name(e.code);
  if (e.has_record) {
    const std::string to = contact_name(e.record_to != 0 ? e.record_to : e.p2);
    return std::string(bridge::message_name(e.code)) + " to " + to + ": " + e.record_text;
  }
  std::string s(bridge::message_name(e.code));
  if (e.p1_text)
    s += " \"" + *e.p1_text + "\"";
  else if (e.p1 != 0)
    s += " " + std::to_string(e.p1);
  if (e.p2 != 0) s += " (" + std::to_string(e.p2) + ")";
  return s;
}

}  // namespace

std::string contact_name(long id) {
  if (id == 0) return "";
  std::string name;
  fx_lock_contacts();
  if (const fx_account* a = fx_get_account_by_id(id)) {
    name = take_new(fx_get_account_show_name(a, 0));
  } else if (const fx_qun* q = fx_get_qun_by_id(id)) {
    name = take_new(fx_get_qun_show_name(q));
  }
  fx_unlock_contacts();
  if (name.empty()) name = take_new(fx_get_original_ID(id));
  if (name.empty()) name = std::to_string(id);
  return name;
}

const char* status_name(int code) {
  switch (code) {
    case 66:
      return "online";
    case 67:
      return "busy";
    case 68:
      return "offline";
    case 69:
      return "back soon";
    case 70:
      return "in a meeting";
    case 71:
      return "on the phone";
    case 72:
      return "out to lunch";
    case 73:
    case 74:
      return "away";
    case 75:
      return "not yet accepted";
    case 76:
      return "refused";
    case 77:
      return "blocked";
    case 78:
      return "mobile only";
    default:
      return "unknown";
  }
}

void Printer::line(const std::string& text) {
  // JSON escapes control characters itself; readable lines carry other
  // users' texts as they came, so the terminal gets them defused.
  write_out(json_ ? text : printable(text));
}

void Printer::write_out(const std::string& shown) {
  std::fwrite(shown.data(), 1, shown.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Printer::message(const Event& e, const Decoded& d) {
  if (!json_) {
    // Presence details that only repeat what 'contacts' shows.
    if (e.code == FX_MSG_CONTACT_CHANGED && !session_open_) return;
    if (e.code == FX_MSG_CONTACT_REFUSE_SMS_DAYS && e.p1 == 0) return;
    write_out(one_message(readable(e, d)));
    return;
  }
  JsonWriter j;
  j.field("code", static_cast<long>(e.code));
  if (e.p1_text)
    j.field("p1", *e.p1_text);
  else
    j.field("p1", e.has_record ? 0L : e.p1);
  if (e.p2_text)
    j.field("p2", *e.p2_text);
  else
    j.field("p2", e.p2);
  std::string event(bridge::message_name(e.code));
  for (char& c : event)
    if (c == ' ') c = '-';
  j.field("event", event);
  if (d.has_chat) {
    j.field("from", d.from).field("text", d.text);
    if (d.source != 0) j.field("source", d.source);
    if (!d.date.empty()) j.field("date", d.date);
  }
  if (e.has_record)
    j.field("to", e.record_to != 0 ? e.record_to : e.p2).field("text", e.record_text);
  if (e.code >= FX_MSG_STATUS_FIRST && e.code <= FX_MSG_STATUS_LAST)
    j.field("id", e.p2).field("status", status_name(e.code));
  if (e.code == FX_MSG_NUDGE || e.code == FX_MSG_DIALOG_INVITED) j.field("from", e.p2);
  if (e.code == FX_MSG_LOGIN_FAILED && e.p1 >= FX_TLS_UNTRUSTED && e.p1 <= FX_TLS_HANDSHAKE)
    j.field("reason", readable(e, d));
  if (e.code == FX_MSG_CONTACT_REQUEST)
    j.field("uri", e.p2_text.value_or("")).field("description", e.p1_text.value_or(""));
  if (e.code == FX_MSG_FILE_OFFER)
    j.field("name", e.offer_name).field("url", e.offer_url).field("size", e.offer_size);
  if (e.p2 != 0 && e.code != FX_MSG_CONTACT_REQUEST) j.field("name", contact_name(e.p2));
  line(j.str());
}

void Printer::result(const JsonWriter& json, const std::string& readable_text) {
  line(json_ ? json.str() : readable_text);
}

void Printer::error(const std::string& command, const std::string& text) {
  if (json_) {
    JsonWriter j;
    j.field("result", command.empty() ? std::string_view("error") : command)
        .field_bool("ok", false)
        .field("error", text);
    line(j.str());
  } else {
    line("error: " + text);
  }
}

void Printer::note(const std::string& text) {
  if (!json_) line(text);
}

}  // namespace tavrin::cli
