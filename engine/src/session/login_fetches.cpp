#include "session/login_fetches.h"

#include <memory>

#include "roster/engine_contacts.h"
#include "roster/payload_bodies.h"
#include "roster/payload_parsers.h"
#include "sipc/command.h"
#include "sipc/wire.h"

namespace tavrin {

namespace {

using contacts::EngineContacts;

void personal_info_answer(sipc_message& m, void*) {
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) return;
  contacts::PersonalInfoPtr info = contacts::parse_personal_info_answer(m.body().c_str());
  if (!info) return;
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  fx_user& u = state.user();
  contacts::free_personal_info(u.personal_info);
  u.personal_info = info.release();
}

void contact_list_answer(sipc_message& m, void* user) {
  const ReplyTo to = *static_cast<ReplyTo*>(user);
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) {
    to.post(FX_MSG_CONTACTS_LOAD_FAILED);
    return;
  }
  if (std::unique_ptr<contacts::ContactStore> store =
          contacts::parse_contact_list_answer(m.body().c_str())) {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    const fx_user& u = state.user();
    contacts::AccountPtr own(contacts::new_record<fx_account>());
    own->id = u.user_id;
    own->uri = contacts::dup_text(u.uri);
    store->adopt_account(std::move(own));
    state.install(std::move(store));
  }
  to.post(FX_MSG_CONTACTS_LOADED);
}

using Then = std::function<void()>;

void free_then(void* user) {
  delete static_cast<Then*>(user);
}

void store_own_info(const sipc_message& m) {
  if (!is_success(m)) return;
  const auto info = contacts::parse_own_user_answer(m.body().c_str());
  if (!info) return;
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  fx_user& u = state.user();
  contacts::set_text(u.uri, info->uri ? info->uri->c_str() : nullptr);
  contacts::set_text(u.mobile_no, info->mobile_no ? info->mobile_no->c_str() : nullptr);
  u.user_status = info->user_status;
  // The user's own entry was stored before the uri was known.
  if (contacts::ContactStore* store = state.store()) {
    fx_account* own = store->account_by_id(u.user_id);
    if (own != nullptr && own->kind == 0 && own->uri == nullptr)
      contacts::set_text(own->uri, u.uri);
  }
}

void own_info_answer(sipc_message& m, void* user) {
  // The context lives until this handler returns, however the entry goes.
  const Then& then = *static_cast<Then*>(user);
  wire().transactions.remove(m.call_id());
  store_own_info(m);
  if (then) then();
}

}  // namespace

void request_personal_info() {
  send_command(contacts::command::kGetPersonalInfo, contacts::body_get_personal_info(),
               personal_info_answer, nullptr, nullptr);
}

void request_contact_list(fx_msg_cb cb, void* user) {
  // The one answer that grows with the account: as long as the service's
  // own caps let it be. Beyond that the load fails (10) instead of the
  // connection.
  send_command(contacts::command::kGetContactList, contacts::body_get_contact_list(),
               contact_list_answer, new ReplyTo{cb, user}, free_reply_to, sipc_max_large_body);
}

void request_own_info(std::function<void()> then) {
  send_command("GetUserInfo", std::string(), own_info_answer, new Then(std::move(then)), free_then);
}

void request_offline_messages() {
  send_command("GetOfflineMessages", std::string(), forget_transaction, nullptr, nullptr);
}

}  // namespace tavrin
