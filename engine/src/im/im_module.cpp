#include "im/im_module.h"

#include <mutex>

#include "contacts/requests.h"
#include "frame/engine.h"
#include "im/dialogs.h"
#include "im/incoming.h"
#include "session/session_hooks.h"
#include "sipc/wire.h"

namespace tavrin::im {

namespace {
void invite_qun(long qun_id, fx_msg_cb cb, void* user) {
  send_invitation(qun_id, Reply{cb, user, nullptr});
}
}  // namespace

void install() {
  wire().set_request_dispatcher(request_dispatcher);
  SessionHooks hooks = session_hooks();
  hooks.invite_qun = invite_qun;
  hooks.drop_dialog = drop_dialog;
  hooks.clear_dialogs = clear_dialogs;
  set_session_hooks(hooks);
  // "IN" requests that are not nudges offer files.
  set_file_offer_hook(contacts::handle_dialog_file_offer);
  static std::once_flag teardown;
  std::call_once(teardown, [] { engine().add_teardown(clear_dialogs); });
}

}  // namespace tavrin::im
