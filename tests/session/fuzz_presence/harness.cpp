// Fuzz harness: presence and group presence event bodies from the server,
// applied to an installed contact store (a buddy, the user's own entry, a
// group chat), as the subscriptions' handlers apply them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "contacts/groups.h"
#include "contacts/presence.h"
#include "roster/engine_contacts.h"
#include "roster/records.h"

namespace {

void install_store() {
  using namespace tavrin::contacts;
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  state.set_login("100000001", "pw");
  auto store = std::make_unique<ContactStore>();
  fx_account buddy{};
  buddy.id = 100000002;
  buddy.uri = const_cast<char*>("sip:100000002@tavrin.local;p=1");
  buddy.kind = 1;
  buddy.status = 68;
  store->add_account(buddy);
  fx_account own{};
  own.id = 100000001;
  own.uri = const_cast<char*>("sip:100000001@tavrin.local;p=1");
  store->add_account(own);
  OwnedChain<fx_qun> quns;
  QunPtr qun(new_record<fx_qun>());
  qun->id = 123456;
  qun->uri = dup_text("sip:PG123456@tavrin.local");
  quns.append(std::move(qun));
  store->set_quns(quns.release());
  state.install(std::move(store));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (install_store(), true);
  (void)ready;
  const std::string body(reinterpret_cast<const char*>(data), size);
  tavrin::contacts::apply_presence_events(body.c_str());
  tavrin::contacts::apply_qun_events(body.c_str());
  return 0;
}
