#include "session/session.h"

#include "frame/engine.h"

namespace tavrin {

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

}  // namespace tavrin
