// Session: the state one login session shares between the login task (timer
// thread), the registration handler and the login interceptor (worker
// thread), the contact layer's subscriptions and the exported login
// functions (client thread): the engine flags of a login, the call ids of
// the presence subscriptions, and a keep-alive pool for records whose
// address an engine callback may still hold (the interceptor's contexts).
//
// Flags and call ids are atomics; the pool is guarded by the session lock
// (mu_), a leaf. Records in the pool live until fx_terminate has stopped
// every engine thread, so no late callback ever writes freed memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tavrin {

class Session {
 public:
  std::atomic<int> cancel_login{0};
  std::atomic<int> relogin_mode{0};
  std::atomic<int> socket_errors{0};      // counted during logins, never reset by success
  std::atomic<int> challenges{0};         // per registration
  std::atomic<int32_t> presence_call{0};  // contacts subscription, 0 while none
  std::atomic<int32_t> qun_call{0};       // group-chat subscription, 0 while none

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
  std::mutex mu_;  // the session lock; guards kept_
  std::vector<std::shared_ptr<void>> kept_;
};

Session& session();

}  // namespace tavrin
