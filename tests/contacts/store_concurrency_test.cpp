// The worker replaces and changes the store while a client thread walks it
// under fx_lock_contacts: nothing the walker holds is freed under it (run
// under ThreadSanitizer and AddressSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "libtavrin.h"
#include "roster/engine_contacts.h"
#include "roster/payload_parsers.h"
#include "test_records.h"

using namespace tavrin::contacts;
using namespace tavrin::contacts::testing;

namespace {

std::string contact_list(int n, int salt) {
  std::string body =
      "<results><contacts><buddy-lists><buddy-list id=\"1\" name=\"g\"/></buddy-lists><buddies>";
  for (int i = 0; i < n; ++i)
    body += "<buddy uri=\"sip:" + std::to_string(100000000 + i) + "@x\" local-name=\"n" +
            std::to_string(salt) + "\" buddy-lists=\"1\" relation-status=\"1\"/>";
  return body +
         "</buddies><blacklist><blocked uri=\"sip:100000003@x\"/></blacklist></contacts></results>";
}

TEST(StoreConcurrency, ReplacingWhileAnotherThreadWalks) {
  EngineReset reset;
  {
    auto lock = EngineContacts::instance().lock();
    EngineContacts::instance().set_login("200000000", "pw");
    EngineContacts::instance().install(parse_contact_list_answer(contact_list(50, 0).c_str()));
  }
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    for (int round = 1; round <= 200; ++round) {
      auto fresh = parse_contact_list_answer(contact_list(50, round).c_str());  // outside the lock
      auto& state = EngineContacts::instance();
      auto lock = state.lock();
      if (round % 3 == 0) {
        // Change in place: remove, re-add, blacklist, profile.
        ContactStore* s = state.store();
        s->remove_account(100000000 + round % 50);
        s->add_account(*make_account("sip:100000049@x", 1, "re-added"));
        fx_account* a = s->account_by_id(100000001);
        if (a && !a->personal_info) a->personal_info = new_record<fx_personal_info>();
        if (a) set_text(a->personal_info->impresa, "mood");
      } else {
        state.install(std::move(fresh));
      }
    }
    stop = true;
  });
  long walks = 0, seen = 0;
  while (!stop) {
    fx_lock_contacts();
    for (fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a)) {
      char* name = fx_get_account_show_name(a, 1);
      seen += name[0] != '\0';
      std::free(name);
      seen += fx_get_online_status_by_account(a) > 0;
      seen += a->local_name ? a->local_name[0] : 0;
    }
    for (fx_list* g = fx_get_group(); g; g = g->next) seen += static_cast<fx_group*>(g->data)->id;
    fx_unlock_contacts();
    // Calls by id that return no record are safe without the lock.
    seen += fx_is_InBlacklist_by_id(100000003);
    seen += fx_get_online_status_by_id(100000002);
    ++walks;
  }
  worker.join();
  EXPECT_GT(walks, 0);
  EXPECT_GT(seen, 0);
}

}  // namespace
