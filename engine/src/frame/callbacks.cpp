#include "frame/callbacks.h"

#include "frame/engine.h"
#include "message_words.h"

namespace tavrin {

void Callbacks::set_system(fx_msg_cb cb, void* user) {
  std::lock_guard lock(mu_);
  system_cb_ = cb;
  system_user_ = user;
}

void Callbacks::get_system(fx_msg_cb* cb, void** user) {
  std::lock_guard lock(mu_);
  *cb = system_cb_;
  *user = system_user_;
}

void Callbacks::post(fx_msg_cb cb, void* user, int code, intptr_t p1, intptr_t p2) {
  if (!cb) get_system(&cb, &user);
  if (cb)
    cb(code, p1, p2, user);
  else
    release_message(code, p1, p2);  // nobody else ever could
}

void ReplyTo::post(int code, intptr_t p1, intptr_t p2) const {
  engine().callbacks.post(cb, user, code, p1, p2);
}

}  // namespace tavrin
