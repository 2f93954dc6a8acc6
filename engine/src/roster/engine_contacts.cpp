#include "roster/engine_contacts.h"

#include "frame/engine.h"
#include "roster/contact_id.h"
#include "roster/list_chain.h"

namespace tavrin::contacts {

EngineContacts& EngineContacts::instance() {
  // Never destroyed: engine threads may still look at it during process exit.
  // fx_terminate frees the user record and the store.
  static EngineContacts* const state = [] {
    auto* s = new EngineContacts();
    engine().add_teardown([s] {
      auto lock = s->lock();
      s->reset();
    });
    return s;
  }();
  return *state;
}

EngineContacts::~EngineContacts() {
  reset();
}

fx_user& EngineContacts::user() {
  if (user_ == nullptr) {
    user_ = new_record<fx_user>();
    user_->score = -1;
  }
  return *user_;
}

ContactStore* EngineContacts::store() {
  if (user_ == nullptr || user_->contact_data == nullptr) return nullptr;
  return ContactStore::from(user_->contact_data);
}

void EngineContacts::install(std::unique_ptr<ContactStore> store) {
  fx_user& u = user();
  std::unique_ptr<ContactStore> old(this->store());
  // Scheduled SMS refer to accounts of the old store: point them at the
  // new store's accounts of the same ids, dropping those that are gone,
  // so that none refers to a freed account.
  for (fx_list* n = u.schedule_list; n != nullptr; n = n->next) {
    auto* sms = static_cast<fx_schedule_sms*>(n->data);
    ChainBuilder kept;
    for (fx_list* r = sms->receivers; r != nullptr; r = r->next) {
      fx_account* now =
          store ? store->account_by_id(static_cast<fx_account*>(r->data)->id) : nullptr;
      if (now != nullptr) kept.append(now);
    }
    free_nodes(sms->receivers);
    sms->receivers = kept.release();
  }
  u.contact_data = store.release();
}

void EngineContacts::set_login(const char* uid, const char* password) {
  fx_user& u = user();
  set_text(u.uid, uid);
  set_text(u.password, password);
  u.user_id = to_int32(uid);
}

void EngineContacts::reset() {
  free_user(user_);
  user_ = nullptr;
}

void EngineContacts::set_hooks(const RequestHooks& hooks) {
  hooks_ = hooks;
}
RequestHooks EngineContacts::hooks() {
  return hooks_;
}

void free_user(fx_user* u) {
  if (u == nullptr) return;
  std::free(u->uid);
  std::free(u->password);
  std::free(u->uri);
  std::free(u->mobile_no);
  delete ContactStore::from(u->contact_data);
  free_personal_info(u->personal_info);
  free_chain<fx_schedule_sms>(u->schedule_list);
  std::free(u);
}

}  // namespace tavrin::contacts
