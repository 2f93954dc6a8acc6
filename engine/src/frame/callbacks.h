// Message routing: every result and event is one call of a fx_msg_cb.
// A request's result goes to the callback passed with that request; with
// none, or for events, it goes to the system callback; with neither nobody
// receives it, and what it hands over is freed by the engine's one rule
// (message_words.h). Callbacks run on the engine thread that posts
// (worker or timer), or on the caller's thread for an outcome known at once.
//
// The system callback pair is replaced by the client at fixed points of the
// lifecycle and by the login interceptor; it is copied under a small lock
// (a leaf: callbacks are called after it is released) so a post never sees
// the callback of one pair with the user data of another.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "libtavrin.h"

namespace tavrin {

class Callbacks {
 public:
  void set_system(fx_msg_cb cb, void* user);
  void get_system(fx_msg_cb* cb, void** user);
  // To the request callback, or the system callback when cb is null; with
  // neither, what the message hands over is freed.
  void post(fx_msg_cb cb, void* user, int code, intptr_t p1, intptr_t p2);
  // To the system callback.
  void post_system(int code, intptr_t p1, intptr_t p2) { post(nullptr, nullptr, code, p1, p2); }

 private:
  std::mutex mu_;  // guards the pair below
  fx_msg_cb system_cb_ = nullptr;
  void* system_user_ = nullptr;
};

// Where one request's results go: its callback and user data (a null
// callback means the system callback), plus a hold on whatever the user
// data points to. A synchronous fs_ form puts its result word behind the
// hold, so the word lives exactly as long as some request context can still
// post to it. Copied freely between threads.
struct ReplyTo {
  ReplyTo() = default;
  ReplyTo(fx_msg_cb cb_, void* user_, std::shared_ptr<void> hold_ = nullptr)
      : cb(cb_), user(user_), hold(std::move(hold_)) {}

  fx_msg_cb cb = nullptr;
  void* user = nullptr;
  std::shared_ptr<void> hold;

  void post(int code, intptr_t p1 = 0, intptr_t p2 = 0) const;
};

}  // namespace tavrin
