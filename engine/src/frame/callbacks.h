// Message routing: every result and event is one call of a fx_msg_cb.
// A request's result goes to the callback passed with that request; with
// none, or for events, it goes to the system callback; with neither it is
// dropped. Callbacks run on the engine thread that posts (worker or timer).
//
// The system callback pair is replaced by the client at fixed points of the
// lifecycle and by the login interceptor; it is copied under a small lock
// (a leaf: callbacks are called after it is released) so a post never sees
// the callback of one pair with the user data of another.
#pragma once

#include <cstdint>
#include <mutex>

#include "libtavrin.h"

namespace tavrin {

class Callbacks {
 public:
  void set_system(fx_msg_cb cb, void* user);
  void get_system(fx_msg_cb* cb, void** user);
  // To the request callback, or the system callback when cb is null.
  void post(fx_msg_cb cb, void* user, int code, intptr_t p1, intptr_t p2);
  // To the system callback.
  void post_system(int code, intptr_t p1, intptr_t p2) { post(nullptr, nullptr, code, p1, p2); }

 private:
  std::mutex mu_;  // guards the pair below
  fx_msg_cb system_cb_ = nullptr;
  void* system_user_ = nullptr;
};

}  // namespace tavrin
