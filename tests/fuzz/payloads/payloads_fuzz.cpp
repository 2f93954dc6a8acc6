// Fuzz harness for every parser of the server's XML payloads, the uri to id
// conversion and the chat-text conversions. The first byte picks the entry;
// the rest is the body. Parsed records are applied to a store and read back
// through the accessors so that what a parser builds is exercised too.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "libtavrin.h"
#include "roster/contact_id.h"
#include "roster/contact_status.h"
#include "roster/engine_contacts.h"
#include "roster/payload_parsers.h"

using namespace tavrin::contacts;

namespace {

// A small store the apply_* entries fill.
std::unique_ptr<ContactStore> base_store() {
  auto s = parse_contact_list_answer(
      "<results><contacts><buddy-lists><buddy-list id=\"1\" name=\"g\"/></buddy-lists><buddies>"
      "<buddy uri=\"sip:100000001@x\" relation-status=\"1\"/></buddies><mobile-buddies>"
      "<mobile-buddy uri=\"tel:13912345678\"/></mobile-buddies></contacts></results>");
  OwnedChain<fx_qun> quns;
  QunPtr q(new_record<fx_qun>());
  q->id = 123456;
  q->uri = dup_text("sip:PG123456@x");
  quns.append(std::move(q));
  s->set_quns(quns.release());
  return s;
}

void read_store(ContactStore& s) {
  EngineContacts& state = EngineContacts::instance();
  for (fx_account* a = s.first_account(); a; a = s.next_account(a)) {
    (void)account_show_name(*a, true);
    (void)status_of(state, a);
    (void)group_id_of(a->buddy_lists);
  }
  for (fx_list* n = s.quns; n; n = n->next) (void)qun_show_name(*static_cast<fx_qun*>(n->data));
}

void free_text(char* s) {
  std::free(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const char* body = text.c_str();
  auto lock = EngineContacts::instance().lock();
  switch (data[0] % 25) {
    case 0:
      (void)parse_impresa_answer(body);
      break;
    case 1:
      (void)parse_nickname_answer(body);
      break;
    case 2:
      (void)parse_refuse_sms_answer(body);
      break;
    case 3:
      (void)parse_score_answer(body);
      break;
    case 4:
      (void)parse_personal_info_answer(body);
      break;
    case 5: {
      auto s = base_store();
      apply_contacts_info(*s, parse_contacts_info_answer(body));
      read_store(*s);
      break;
    }
    case 6:
      (void)parse_own_user_answer(body);
      break;
    case 7: {
      auto s = parse_contact_list_answer(body);
      if (s) {
        read_store(*s);
        std::vector<long> blocked, accounts;
        for (fx_list* n = s->blacklist; n; n = n->next)
          blocked.push_back(static_cast<fx_blocked*>(n->data)->id);
        for (fx_list* n = s->accounts; n; n = n->next)
          accounts.push_back(static_cast<fx_account*>(n->data)->id);
        for (long id : blocked) s->remove_blocked(id);
        for (long id : accounts) s->remove_account(id);
        read_store(*s);
      }
      break;
    }
    case 8:
      (void)parse_buddy_list_answer(body);
      break;
    case 9:
      (void)parse_buddy_info_answer(body);
      break;
    case 10:
      (void)parse_buddy_lists_answer(body);
      break;
    case 11:
      (void)parse_blacklist_answer(body);
      break;
    case 12: {
      auto s = base_store();
      if (auto a = parse_add_buddy_answer(body)) s->adopt_account(std::move(a));
      read_store(*s);
      break;
    }
    case 13: {
      auto s = base_store();
      if (auto a = parse_add_mobile_buddy_answer(body)) s->add_account(*a);
      read_store(*s);
      break;
    }
    case 14:
      (void)parse_schedule_list_answer(body);
      break;
    case 15: {
      auto s = base_store();
      OwnedChain<fx_schedule_sms> list = parse_schedule_list_answer(
          "<results><schedule-sms-list><schedule-sms id=\"5\"/><schedule-sms id=\"6\"/>"
          "</schedule-sms-list></results>");
      apply_schedule_details(list.head(), parse_schedule_details_answer(body), s.get());
      break;
    }
    case 16:
      (void)parse_schedule_set_answer(body);
      break;
    case 17: {
      auto s = base_store();
      s->set_quns(parse_group_list_answer(body).release());
      read_store(*s);
      break;
    }
    case 18: {
      auto s = base_store();
      auto groups = parse_group_members_answer(body);
      apply_group_members(*s, groups);
      read_store(*s);
      break;
    }
    case 19:
      (void)parse_contact_events(body);
      break;
    case 20:
      (void)parse_presence_events(body);
      break;
    case 21: {
      auto s = base_store();
      apply_qun_presence(*s, parse_qun_presence_events(body));
      read_store(*s);
      break;
    }
    case 22:
      free_text(fx_msg_qt_format(body));
      break;
    case 23:
      free_text(fx_msg_no_format(body));
      break;
    case 24:
      (void)display_number(contact_id_from_uri(body));
      break;
  }
  return 0;
}
