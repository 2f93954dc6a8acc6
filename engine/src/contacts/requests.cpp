// Contact events, the answer to a contact request and file offers.
// in-dialog "O" echo.
#include "contacts/requests.h"

#include <string>
#include <vector>

#include "contacts/management.h"
#include "contacts/presence.h"
#include "frame/engine.h"
#include "roster/contact_id.h"
#include "roster/engine_contacts.h"
#include "roster/payload_bodies.h"
#include "roster/payload_parsers.h"
#include "roster/xml_read.h"
#include "sipc/command.h"
#include "sipc/wire.h"

namespace tavrin::contacts {

namespace {

EngineContacts& state() {
  return EngineContacts::instance();
}

// Posts two new texts to the system callback; they pass to the receiver.
void post_two_texts(int code, const std::string& p1, const std::string& p2) {
  char* a = dup_text(p1.c_str());
  char* b = dup_text(p2.c_str());
  engine().callbacks.post_system(code, reinterpret_cast<intptr_t>(a),
                                 reinterpret_cast<intptr_t>(b));
}

// A response to a dialog request: 200 with "F", "I" and "Q" of the request.
sipc_message dialog_answer(const sipc_message& request, const char* method) {
  sipc_message answer;
  answer.set_status(200);
  if (const std::string* from = request.get_header("F")) answer.add_header("F", *from);
  answer.add_header("I", std::to_string(request.call_id()));
  answer.add_header("Q", std::to_string(request.sequence()) + " " + method);
  answer.set_call_id(request.call_id());
  return answer;
}

}  // namespace

void handle_contact_event(const char* body) {
  const std::vector<ContactEvent> events = parse_contact_events(body);
  for (const ContactEvent& e : events) {
    if (e.type == ContactEvent::Type::kApplication) {
      post_two_texts(FX_MSG_CONTACT_REQUEST, e.desc, e.uri);
      continue;
    }
    std::vector<long> changed;
    {
      auto lock = state().lock();
      ContactStore* store = state().store();
      if (store == nullptr) continue;
      for (const BuddyRelation& b : e.buddies) {
        fx_account* a = store->account_by_id(b.id);
        if (a == nullptr) continue;
        if (b.has_relation_status) a->relation_status = b.relation_status;
        changed.push_back(b.id);
      }
    }
    for (long id : changed) engine().callbacks.post_system(FX_MSG_CONTACT_CHANGED, 0, id);
  }
}

FileOfferPtr parse_file_offer(const char* body) {
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return nullptr;
  const TiXmlElement* action = doc.FirstChildElement("action");
  const TiXmlElement* transmit = action ? action->FirstChildElement("transmit") : nullptr;
  const TiXmlElement* file = action ? action->FirstChildElement("file") : nullptr;
  if (transmit == nullptr || file == nullptr) return nullptr;
  FileOfferPtr offer(new_record<fx_file_offer>());
  offer->file_id = attr_dup(file, "id");
  offer->session_id = attr_dup(transmit, "session-id");
  offer->url = attr_dup(file, "url");
  offer->name = attr_dup(file, "name");
  offer->size = attr_int(file, "size");
  offer->md5 = attr_dup(file, "md5");
  offer->transfer_type = attr_dup(transmit, "type");
  return offer;
}

bool handle_dialog_info(const sipc_message& request) {
  FileOfferPtr offer = parse_file_offer(request.body().c_str());
  if (!offer) return false;
  const std::string* from = request.get_header("F");
  offer->sender_id = from ? contact_id_from_uri(from->c_str()) : 0;
  wire().queue(dialog_answer(request, "IN"));
  const long sender = offer->sender_id;
  // The offer passes to the receiver.
  engine().callbacks.post_system(FX_MSG_FILE_OFFER, reinterpret_cast<intptr_t>(offer.release()),
                                 sender);
  return true;
}

}  // namespace tavrin::contacts

using namespace tavrin::contacts;

extern "C" {

FX_API int fx_handleContactRequest(const char* uri, int result, int group_id,
                                   const char* local_name) {
  try {
    if (uri == nullptr) return 0;
    if (result == 0) {
      // Nobody waits for the answer; the transaction only has to end.
      tavrin::send_command(command::kHandleContactRequest, body_refuse_contact_request(uri, 0),
                           tavrin::forget_transaction, nullptr, nullptr);
      return 1;
    }
    tavrin::send_command(command::kHandleContactRequest,
                         body_accept_contact_request(uri, result, group_id, local_name),
                         tavrin::forget_transaction, nullptr, nullptr);
    const long id = contact_id_from_uri(uri);
    {
      auto lock = state().lock();
      AccountPtr a(new_record<fx_account>());
      a->id = id;
      a->uri = dup_text(uri);
      a->local_name = dup_text(local_name);
      a->buddy_lists = dup_text(std::to_string(group_id).c_str());
      a->relation_status = 1;
      a->kind = 1;
      a->status = 68;
      store_account(state(), std::move(a));
    }
    subscribe_contact(id);
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
