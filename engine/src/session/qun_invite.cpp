#include "session/qun_invite.h"

#include <memory>

#include "contacts/engine_contacts.h"
#include "session/session.h"
#include "sipc/connection.h"
#include "sipc/wire.h"

namespace tavrin {

namespace {

struct Invitation {
  ReplyTo to;
  long qun_id = 0;
};

void free_invitation(void* user) {
  delete static_cast<Invitation*>(user);
}

void invitation_handler(sipc_message& m, void* user) {
  auto* inv = static_cast<Invitation*>(user);
  if (m.method() != "I" || !m.is_response()) return;
  if (m.target().find("Trying") != std::string::npos || m.status() == 100) {
    inv->to.post(FX_MSG_DIALOG_TRYING, m.call_id(), inv->qun_id);
  } else if (m.status() == 200) {
    inv->to.post(FX_MSG_DIALOG_OPEN, m.call_id(), inv->qun_id);
    sipc_message ack = sipc_message::request(session().origin(), "A", m.call_id(), 1);
    if (const std::string* t = m.get_header("T")) ack.add_header("T", *t);
    wire().queue(ack);
  } else if (m.status() > 400) {
    inv->to.post(FX_MSG_DIALOG_REFUSED, m.call_id(), inv->qun_id);
    wire().transactions.remove(m.call_id());
  }
}

}  // namespace

std::string session_description(const std::string& address, int port, const std::string& own_uri) {
  const std::string at = address + ":" + std::to_string(port);
  return "v=0\r\no=-0 0 IN " + at + "\r\ns=session\r\nc=IN IP4 " + at + "\r\nt=0 0\r\nm=message " +
         std::to_string(port) + " sip " + own_uri;
}

void send_qun_invitation(long qun_id, fx_msg_cb cb, void* user) {
  std::string uri, own_uri;
  {
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    const contacts::ContactStore* store = state.store();
    const fx_qun* qun = store ? store->qun_by_id(qun_id) : nullptr;
    if (qun == nullptr || qun->uri == nullptr) return;
    uri = qun->uri;
    if (state.user().uri) own_uri = state.user().uri;
  }
  const int32_t call_id = wire().new_call_id();
  sipc_message invite = sipc_message::request(
      session().origin(), "I", call_id, 1,
      session_description(connection().local_address(), connection().local_port(), own_uri));
  invite.add_header("T", uri);
  invite.add_header("K", "text/html-fragment");
  invite.add_header("K", "multiparty");
  invite.add_header("K", "nudge");
  auto inv = std::make_unique<Invitation>();
  inv->to = ReplyTo{cb, user};
  inv->qun_id = qun_id;
  wire().transactions.add(call_id, invitation_handler, inv.release(), free_invitation);
  wire().queue(invite);
}

}  // namespace tavrin
