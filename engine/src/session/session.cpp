#include "session/session.h"

#include "frame/engine.h"
#include "session/engine_settings.h"
#include "sipc/wire.h"

namespace tavrin {

void ReplyTo::post(int code, intptr_t p1, intptr_t p2) const {
  engine().callbacks.post(cb, user, code, p1, p2);
}

sipc_origin Session::origin() {
  std::lock_guard lock(mu_);
  return sipc_origin{engine_settings().sip_domain(), login_id_};
}

void Session::set_login_id(std::string id) {
  std::lock_guard lock(mu_);
  login_id_ = std::move(id);
}

void Session::reset() {
  cancel_login = 0;
  relogin_mode = 0;
  socket_errors = 0;
  challenges = 0;
  presence_call = 0;
  qun_call = 0;
  std::vector<std::shared_ptr<void>> old;
  {
    std::lock_guard lock(mu_);
    login_id_.clear();
    old.swap(kept_);
  }
}

Session& session() {
  static Session* const instance = [] {
    auto* s = new Session;
    engine().add_teardown([s] { s->reset(); });
    return s;
  }();
  return *instance;
}

bool is_success(const sipc_message& m) {
  return m.status() == 200 || m.target().find("OK") != std::string::npos;
}

int32_t send_command(const char* name, const std::string& body, TransactionHandler handler,
                     void* user, TransactionFree free_fn) {
  const int32_t call_id = wire().new_call_id();
  sipc_message request = body.empty()
                             ? sipc_message::request(session().origin(), "S", call_id, 1)
                             : sipc_message::request(session().origin(), "S", call_id, 1, body);
  request.add_header("N", name);
  // Registered before it is queued, so that no answer can arrive unrouted.
  wire().transactions.add(call_id, handler, user, free_fn);
  wire().queue(request);
  return call_id;
}

void free_reply_to(void* user) {
  delete static_cast<ReplyTo*>(user);
}

void forget_transaction(sipc_message& m, void*) {
  wire().transactions.remove(m.call_id());
}

}  // namespace tavrin
