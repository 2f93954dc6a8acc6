#include "im/incoming.h"

#include <strings.h>

#include <atomic>
#include <string>

#include "frame/engine.h"
#include "frame/message_queue.h"
#include "im/dialogs.h"
#include "roster/contact_id.h"
#include "roster/engine_contacts.h"
#include "sipc/message.h"
#include "sipc/wire.h"

namespace tavrin::im {

namespace {

std::atomic<InfoHook> g_file_offer_hook{nullptr};

bool is_nudge(const sipc_message& m) {
  return strcasecmp(m.body().c_str(), kNudgeBody) == 0;
}

long sender_of(const sipc_message& m) {
  const std::string* from = m.get_header("F");
  return contacts::contact_id_from_uri(from ? from->c_str() : nullptr);
}

// Status 200 with the request's "F", its call id and "%d METHOD".
sipc_message ok_answer(const sipc_message& m, const char* method, const std::string& body = {}) {
  sipc_message a;
  a.set_status(200);
  if (const std::string* f = m.get_header("F")) a.add_header("F", *f);
  a.add_header("I", std::to_string(m.call_id()));
  a.add_header("Q", std::to_string(m.sequence()) + " " + method);
  if (!body.empty()) a.set_body(body);
  a.set_call_id(m.call_id());
  return a;
}

void answer_ok(const sipc_message& m, const char* method, const std::string& body = {}) {
  wire().queue(ok_answer(m, method, body));
}

// The 200 of a queued line, sent once the client is done with its record
// (it has shown or stored the line): the service keeps a line until its 200,
// so a client that dies before that gets it again at its next login. An
// answer owed on a connection that has since been replaced is not sent.
MessageQueue::Release answer_when_kept(const sipc_message& m) {
  return [answer = ok_answer(m, "M"), generation = wire().generation()] {
    if (wire().generation() == generation) wire().queue(answer);
  };
}

// The line as a C string without losing its end: every reader of fx_msg
// (the screens, the history, the terminal) stops at a NUL, so each one in
// the body is shown as U+FFFD instead.
std::string whole_text(const std::string& body) {
  if (body.find('\0') == std::string::npos) return body;
  std::string out;
  out.reserve(body.size() + 8);
  for (char c : body) {
    if (c == '\0')
      out += "\xef\xbf\xbd";
    else
      out += c;
  }
  return out;
}

const char* header_or_null(const sipc_message& m, const char* name) {
  const std::string* v = m.get_header(name);
  return v ? v->c_str() : nullptr;
}

bool blacklisted(long sender) {
  auto& state = contacts::EngineContacts::instance();
  auto lock = state.lock();
  const contacts::ContactStore* store = state.store();
  return store != nullptr && store->blacklisted(sender);
}

// A nudge is shown unless its sender is on the blacklist, like a line.
void nudged(const sipc_message& m) {
  const long sender = sender_of(m);
  if (!blacklisted(sender)) engine().callbacks.post_system(FX_MSG_NUDGE, 0, sender);
}

}  // namespace

void set_file_offer_hook(InfoHook hook) {
  g_file_offer_hook = hook;
}

void handle_incoming_message(const sipc_message& m) {
  fx_msg_cb cb = nullptr;
  void* user = nullptr;
  engine().callbacks.get_system(&cb, &user);
  if (cb == nullptr) return;
  const long sender = sender_of(m);
  if (!blacklisted(sender)) {
    const char* so = header_or_null(m, "SO");
    const std::string text = whole_text(m.body());
    engine().messages.push(
        new_fx_msg(sender, text.c_str(), header_or_null(m, "C"), header_or_null(m, "D"),
                   so ? contacts::contact_id_from_uri(so) : 0),
        answer_when_kept(m));
    engine().callbacks.post_system(so ? FX_MSG_CHAT_MESSAGE_SO : FX_MSG_CHAT_MESSAGE,
                                   reinterpret_cast<intptr_t>(text.c_str()), sender);
    return;
  }
  answer_ok(m, "M");
}

void handle_info(const sipc_message& m) {
  if (is_nudge(m)) {
    answer_ok(m, "IN");
    nudged(m);
  } else if (InfoHook hook = g_file_offer_hook.load()) {
    hook(m);
  }
}

void answer_other(const sipc_message& m) {
  answer_ok(m, "O", m.body());
}

void request_dispatcher(sipc_message& m) {
  if (m.is_response()) return;  // answers whose transaction is gone
  const std::string& method = m.method();
  if (method == "M") {
    handle_incoming_message(m);
  } else if (method == "IN") {
    if (is_nudge(m)) nudged(m);
  } else if (method == "I") {
    accept_invitation(m);
  }
}

}  // namespace tavrin::im
