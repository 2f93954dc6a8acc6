#include "session/registration.h"

#include <cstdlib>
#include <memory>

#include "frame/engine.h"
#include "roster/engine_contacts.h"
#include "session/digest.h"
#include "session/session.h"
#include "session/session_hooks.h"
#include "sipc/command.h"
#include "sipc/engine_settings.h"
#include "sipc/server_settings.h"
#include "sipc/tls_client.h"
#include "sipc/socket_error.h"
#include "sipc/wire.h"

namespace tavrin {

namespace {

constexpr int32_t kRegistrationCall = 1;
constexpr int kChallengeLimit = 3;

struct Registration {
  ReplyTo to;
  std::string body;
};

void free_registration(void* user) {
  delete static_cast<Registration*>(user);
}
void registration_handler(sipc_message& m, void* user);

bool registered() {
  auto& state = contacts::EngineContacts::instance();
  auto lock = state.lock();
  return state.user().registration_state == 2;
}

void set_registered(const sipc_message& m) {
  auto& state = contacts::EngineContacts::instance();
  auto lock = state.lock();
  fx_user& u = state.user();
  if (const std::string* x = m.get_header("X"))
    u.expires = static_cast<int>(std::strtol(x->c_str(), nullptr, 10));
  u.registration_state = 2;
}

void fail(const Registration& reg, int status) {
  engine().net().close();
  // 5 carries the status that refused the login (403: held back after
  // wrong passwords), so the front end can say why.
  const int code = registration_failure_code(status);
  reg.to.post(code, code == FX_MSG_LOGIN_FAILED ? status : 0);
}

// Answers a challenge: the digest of its "W" goes into the next "R".
void answer_challenge(const Registration& reg, const sipc_message& m) {
  if (!m.get_header("W")) {
    fail(reg, m.status());
    return;
  }
  std::string id, password;
  {
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    const fx_user& u = state.user();
    if (u.uid) id = u.uid;
    if (u.password) password = u.password;
  }
  const auto answer = digest_answer(m, id, engine_settings().sip_domain(), password);
  if (!answer) {
    // No nonce to answer with: the request was unusable.
    engine().net().close();
    reg.to.post(FX_MSG_LOGIN_BAD_REQUEST);
    return;
  }
  sipc_message request =
      sipc_message::request(request_origin(), "R", kRegistrationCall, m.sequence() + 1, reg.body);
  request.add_header("A", *answer);
  reg.to.post(FX_MSG_LOGIN_CHALLENGED);
  wire().queue(request);
}

// The answer to a digest answer (step 4 of the exchange).
void answer_to_digest(Registration& reg, const sipc_message& m) {
  const int count = ++session().challenges;
  if (m.get_header("W") && count < kChallengeLimit) {
    answer_challenge(reg, m);
    return;
  }
  if (!is_success(m)) {
    fail(reg, m.status());
    return;
  }
  if (registered()) return;
  set_registered(m);
  session().challenges = 0;
  const ReplyTo to = reg.to;
  // Later traffic on call id 1 goes to the system callback. Replacing the
  // entry frees reg only after this handler returns.
  wire().transactions.add(kRegistrationCall, registration_handler,
                          new Registration{ReplyTo{}, reg.body}, free_registration);
  to.post(FX_MSG_REGISTERED);
}

// True when the "N" value is a part of the word.
bool event_is(const sipc_message& m, const char* word) {
  const std::string* n = m.get_header("N");
  return n && !n->empty() && std::string(word).find(*n) != std::string::npos;
}

void later_message(Registration& reg, const sipc_message& m) {
  if (!m.is_response()) {
    if (!sipc_name_equal(m.method(), "BN")) return;
    if (event_is(m, "registration")) {
      if (m.body().find("deregistered") == std::string::npos) return;
      reg.to.post(FX_MSG_DEREGISTERED);
      engine().net().close();
    } else if (event_is(m, "contact")) {
      if (auto hook = session_hooks().contact_event) hook(m.body().c_str());
    }
    return;
  }
  if (!registered() && session().challenges < kChallengeLimit) {
    answer_to_digest(reg, m);
    return;
  }
  if (!is_success(m)) return;
  if (!registered()) {
    set_registered(m);
    reg.to.post(FX_MSG_REGISTERED);
  } else if (m.get_header("X")) {
    set_registered(m);
  }
  const std::string* x = m.get_header("X");
  if (x && std::strtol(x->c_str(), nullptr, 10) == 0) {
    engine_log("will quit the tavrin \n");
    engine().net().close();
  }
}

void registration_handler(sipc_message& m, void* user) {
  auto& reg = *static_cast<Registration*>(user);
  if (!registered() && m.is_response() && m.sequence() == 1) {
    session().challenges = 0;
    answer_challenge(reg, m);
  } else if (!registered() && m.is_response() && m.sequence() == 2) {
    answer_to_digest(reg, m);
  } else {
    later_message(reg, m);
  }
}

}  // namespace

const char* presence_value_of(int status_code) {
  switch (status_code) {
    case 66:
      return "400";
    case 67:
      return "600";
    case 68:
      return "0";
    case 69:
      return "300";
    case 70:
      return "850";
    case 71:
      return "500";
    case 72:
      return "150";
    case 73:
    case 74:
      return "100";
    default:
      return "400";
  }
}

std::string registration_body(int login_status) {
  return std::string(
             "<args><device type=\"PC\" version=\"284571220\" client-version=\"3.3.0370\" />"
             "<caps value=\"simple-im;im-session;temp-group;personal-group\" />"
             "<events value=\"contact;permission;system-message;personal-group\" />"
             "<user-info attributes=\"all\" /><presence><basic value=\"") +
         presence_value_of(login_status) + "\" desc=\"\" /></presence></args>";
}

int registration_failure_code(int status) {
  switch (status) {
    case 400:
      return FX_MSG_LOGIN_BAD_REQUEST;
    case 401:
    case 406:
      return FX_MSG_LOGIN_WRONG_PASSWORD;
    case 404:
      return FX_MSG_LOGIN_NOT_FOUND;
    case 410:
      return FX_MSG_REGISTER_GONE;
    default:
      return FX_MSG_LOGIN_FAILED;
  }
}

int registration_start(const std::string& login_id, const std::string& password, fx_msg_cb cb,
                       void* user) {
  {
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    state.user().registration_state = 0;
    state.set_login(login_id.c_str(), password.c_str());
  }
  set_login_id(login_id);
  const ReplyTo to{cb, user};
  if (!wire().reset_and_connect()) {
    to.post(FX_MSG_LOGIN_FAILED, last_connect_failure());
    return 0;
  }
  wire().reset_call_id();
  const int32_t call_id = wire().new_call_id();
  const std::string body = registration_body(server_settings().login_status());
  sipc_message request = sipc_message::request(request_origin(), "R", call_id, 1, body);
  wire().transactions.add(call_id, registration_handler, new Registration{to, body},
                          free_registration);
  to.post(FX_MSG_LOGIN_CONNECTED);
  wire().queue(request);
  return 1;
}

void send_keepalive() {
  const int32_t seq = wire().transactions.next_sequence(kRegistrationCall);
  wire().queue(sipc_message::request(request_origin(), "R", kRegistrationCall, seq));
}

void send_logout() {
  const int32_t seq = wire().transactions.next_sequence(kRegistrationCall);
  sipc_message request = sipc_message::request(request_origin(), "R", kRegistrationCall, seq);
  request.add_header("X", "0");
  wire().queue(request);
}

}  // namespace tavrin
