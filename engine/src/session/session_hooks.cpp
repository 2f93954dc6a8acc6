#include "session/session_hooks.h"

#include <mutex>

namespace tavrin {

namespace {
std::mutex g_mu;  // guards g_hooks
SessionHooks g_hooks;
}  // namespace

SessionHooks session_hooks() {
  std::lock_guard lock(g_mu);
  return g_hooks;
}

void set_session_hooks(const SessionHooks& hooks) {
  std::lock_guard lock(g_mu);
  g_hooks = hooks;
}

}  // namespace tavrin
