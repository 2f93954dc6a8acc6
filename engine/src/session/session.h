// Session: the state one login session shares between the login task (timer
// thread), the registration handler and the login interceptor (worker
// thread) and the exported login functions (client thread): the engine
// flags of a login, the login id requests are sent as, the call ids of the
// presence subscriptions, and a keep-alive pool for records whose address
// an engine callback may still hold (interceptor contexts, fs_ result words).
//
// Flags and call ids are atomics; the login id and the pool are guarded by
// the session lock (mu_), a leaf. Records in the pool live until
// fx_terminate has stopped every engine thread, so no late callback ever
// writes freed memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "libtavrin.h"
#include "sipc/message.h"
#include "sipc/transactions.h"

namespace tavrin {

// Where a request's results go: the request callback and its user data
// (a null callback means the system callback).
struct ReplyTo {
  fx_msg_cb cb = nullptr;
  void* user = nullptr;
  void post(int code, intptr_t p1 = 0, intptr_t p2 = 0) const;
};

class Session {
 public:
  std::atomic<int> cancel_login{0};
  std::atomic<int> relogin_mode{0};
  std::atomic<int> socket_errors{0};      // counted during logins, never reset by success
  std::atomic<int> challenges{0};         // per registration
  std::atomic<int32_t> presence_call{0};  // contacts subscription, 0 while none
  std::atomic<int32_t> qun_call{0};       // group-chat subscription, 0 while none

  // The "F" value and SIP domain of every request.
  sipc_origin origin();
  void set_login_id(std::string id);

  // Keeps the record alive until fx_terminate; returns it.
  template <class T>
  T* keep(std::unique_ptr<T> record) {
    T* raw = record.get();
    std::lock_guard lock(mu_);
    kept_.emplace_back(std::shared_ptr<T>(std::move(record)));
    return raw;
  }

  // fx_terminate: everything back to the start.
  void reset();

 private:
  std::mutex mu_;  // the session lock; guards the fields below
  std::string login_id_;
  std::vector<std::shared_ptr<void>> kept_;
};

Session& session();

// A response counts as successful when its status is 200 or its reason
// phrase contains "OK".
bool is_success(const sipc_message& m);

// Builds request "S" with a new call id, sequence number 1, header "N" and
// the body (none when empty); registers handler (with user and free_fn,
// which owns user) for the call id, then queues it. Returns the call id.
int32_t send_command(const char* name, const std::string& body, TransactionHandler handler,
                     void* user, TransactionFree free_fn);

// The transaction free function of a heap ReplyTo.
void free_reply_to(void* user);

// Handler that only forgets its transaction (answers whose content is unused).
void forget_transaction(sipc_message& m, void* user);

}  // namespace tavrin
