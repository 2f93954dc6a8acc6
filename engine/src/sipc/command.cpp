#include "sipc/command.h"

#include <mutex>

#include "frame/engine.h"
#include "sipc/engine_settings.h"
#include "sipc/wire.h"

namespace tavrin {

namespace {

struct LoginId {
  std::mutex mu;  // guards id; a leaf
  std::string id;
};

LoginId& login_id() {
  static LoginId* const instance = [] {
    auto* l = new LoginId;
    engine().add_teardown([l] {
      std::lock_guard lock(l->mu);
      l->id.clear();
    });
    return l;
  }();
  return *instance;
}

}  // namespace

sipc_origin request_origin() {
  std::string id;
  {
    LoginId& l = login_id();
    std::lock_guard lock(l.mu);
    id = l.id;
  }
  return sipc_origin{engine_settings().sip_domain(), std::move(id)};
}

void set_login_id(std::string id) {
  LoginId& l = login_id();
  std::lock_guard lock(l.mu);
  l.id = std::move(id);
}

bool is_success(const sipc_message& m) {
  if (m.body_dropped()) return false;
  return m.status() == 200 || m.target().find("OK") != std::string::npos;
}

int32_t send_command(const char* name, const std::string& body, TransactionHandler handler,
                     void* user, TransactionFree free_fn, size_t max_body) {
  const int32_t call_id = wire().new_call_id();
  sipc_message request = body.empty()
                             ? sipc_message::request(request_origin(), "S", call_id, 1)
                             : sipc_message::request(request_origin(), "S", call_id, 1, body);
  request.add_header("N", name);
  // Registered before it is queued, so that no answer can arrive unrouted.
  wire().transactions.add(call_id, handler, user, free_fn, max_body);
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
