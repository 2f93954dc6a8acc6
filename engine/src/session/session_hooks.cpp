#include "session/session_hooks.h"

#include <mutex>

#include "contacts/requests.h"
#include "contacts/schedule_sms.h"
#include "session/qun_invite.h"

namespace tavrin {

namespace {
std::mutex g_mu;  // guards g_hooks
SessionHooks g_hooks{send_qun_invitation, nullptr, nullptr, contacts::handle_contact_event,
                     contacts::request_schedule_list_after_login};
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
