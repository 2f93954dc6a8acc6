// fx_init: the layers connected, then the engine started. No exception
// crosses the C interface.
#include "wiring/engine_init.h"

#include <mutex>

#include "contacts/groups.h"
#include "contacts/presence.h"
#include "contacts/profile.h"
#include "contacts/requests.h"
#include "contacts/schedule_sms.h"
#include "frame/engine.h"
#include "im/dialogs.h"
#include "im/incoming.h"
#include "libtavrin.h"
#include "roster/engine_contacts.h"
#include "session/session_hooks.h"
#include "sipc/socket_driver.h"
#include "sipc/wire.h"

namespace tavrin::wiring {

namespace {

void invite_qun(long qun_id, fx_msg_cb cb, void* user) {
  im::send_invitation(qun_id, ReplyTo{cb, user});
}

}  // namespace

void connect_parts() {
  // The chat layer takes the requests no transaction claims.
  wire().set_request_dispatcher(im::request_dispatcher);

  SessionHooks hooks;
  hooks.subscribe_contacts = contacts::subscribe_contacts;
  hooks.request_qun_list = contacts::request_qun_list;
  hooks.subscribe_quns = contacts::subscribe_quns;
  hooks.request_qun_members = contacts::request_qun_members;
  hooks.unsubscribe_all = contacts::unsubscribe_all;
  hooks.contact_event = contacts::handle_contact_event;
  hooks.request_schedule_list = contacts::request_schedule_list_after_login;
  hooks.invite_qun = invite_qun;
  hooks.drop_dialog = im::drop_dialog;
  hooks.clear_dialogs = im::clear_dialogs;
  set_session_hooks(hooks);

  {
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    state.set_hooks(
        contacts::RequestHooks{contacts::request_score, contacts::request_contact_info});
  }

  // "IN" requests of a dialog that are not nudges offer files.
  im::set_file_offer_hook(contacts::handle_dialog_file_offer);

  static std::once_flag teardown;
  std::call_once(teardown, [] { engine().add_teardown(im::clear_dialogs); });
}

}  // namespace tavrin::wiring

extern "C" {

FX_API int fx_init(void) {
  try {
    tavrin::wiring::connect_parts();
    return tavrin::engine().init(tavrin::socket_net_driver(), tavrin::wire().hooks());
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
