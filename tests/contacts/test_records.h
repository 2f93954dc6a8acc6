// Small builders of contact records for the contact tests.
#pragma once

#include <memory>

#include "roster/contact_id.h"
#include "roster/contact_store.h"
#include "roster/engine_contacts.h"
#include "roster/records.h"

namespace tavrin::contacts::testing {

// A buddy (kind 1, status 68) or mobile buddy (kind 2, status 78) of a uri.
inline AccountPtr make_account(const char* uri, int relation = 1, const char* local_name = nullptr,
                               const char* buddy_lists = nullptr) {
  AccountPtr a(new_record<fx_account>());
  a->id = contact_id_from_uri(uri);
  a->uri = dup_text(uri);
  a->local_name = dup_text(local_name);
  a->buddy_lists = dup_text(buddy_lists);
  a->relation_status = relation;
  a->kind = uri[0] == 't' ? 2 : 1;
  a->status = a->kind == 1 ? 68 : 78;
  return a;
}

inline BlockedPtr make_blocked(const char* uri) {
  BlockedPtr b(new_record<fx_blocked>());
  b->id = contact_id_from_uri(uri);
  b->uri = dup_text(uri);
  return b;
}

// Resets the engine's contact state around each test.
struct EngineReset {
  EngineReset() { reset(); }
  ~EngineReset() { reset(); }
  static void reset() {
    auto& s = EngineContacts::instance();
    auto lock = s.lock();
    s.reset();
    s.set_hooks({});
  }
};

}  // namespace tavrin::contacts::testing
