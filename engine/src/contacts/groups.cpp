#include "contacts/groups.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "roster/contact_id.h"
#include "roster/engine_contacts.h"
#include "roster/payload_bodies.h"
#include "roster/payload_parsers.h"
#include "session/session.h"
#include "sipc/command.h"
#include "sipc/wire.h"

namespace tavrin::contacts {

namespace {

ContactStore& store_or_new(EngineContacts& state) {
  if (state.store() == nullptr) state.install(std::make_unique<ContactStore>());
  return *state.store();
}

void qun_list_answer(sipc_message& m, void* user) {
  const ReplyTo to = *static_cast<ReplyTo*>(user);
  wire().transactions.remove(m.call_id());
  if (m.status() != 200) {
    to.post(FX_MSG_QUN_LIST_FAILED);
    return;
  }
  OwnedChain<fx_qun> quns = parse_group_list_answer(m.body().c_str());
  {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    store_or_new(state).set_quns(quns.release());
  }
  to.post(FX_MSG_QUN_LIST_LOADED);
}

struct QunSubscription {
  ReplyTo to;
  std::atomic<bool> answered{false};
};

void free_qun_subscription(void* user) {
  delete static_cast<QunSubscription*>(user);
}

void qun_subscription_handler(sipc_message& m, void* user) {
  auto* sub = static_cast<QunSubscription*>(user);
  if (!m.is_response()) {
    if (sipc_name_equal(m.method(), "BN")) apply_qun_events(m.body().c_str());
    return;
  }
  if (m.status() != 200) return;
  if (!sub->answered.exchange(true)) sub->to.post(FX_MSG_QUN_SUBSCRIBED);
}

void members_answer(sipc_message& m, void*) {
  wire().transactions.remove(m.call_id());
  if (m.status() != 200) return;
  std::vector<QunMembers> groups = parse_group_members_answer(m.body().c_str());
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  if (ContactStore* store = state.store()) apply_group_members(*store, groups);
}

}  // namespace

void request_qun_list(fx_msg_cb cb, void* user) {
  send_command(command::kGetGroupList, body_get_group_list(), qun_list_answer,
               new ReplyTo{cb, user}, free_reply_to);
}

void subscribe_quns(fx_msg_cb cb, void* user) {
  std::vector<std::string> uris;
  {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    if (const ContactStore* store = state.store()) uris = qun_uris(*store);
  }
  const ReplyTo to{cb, user};
  if (uris.empty()) {
    to.post(FX_MSG_QUN_SUBSCRIBED);
    return;
  }
  auto sub = std::make_unique<QunSubscription>();
  sub->to = to;
  const int32_t call_id = wire().new_call_id();
  session().qun_call = call_id;
  sipc_message request =
      sipc_message::request(request_origin(), "SUB", call_id, 1, body_subscribe_quns(uris, true));
  request.add_header("N", command::kGroupPresence);
  wire().transactions.add(call_id, qun_subscription_handler, sub.release(), free_qun_subscription);
  wire().queue(request);
}

void request_qun_members(long qun_id) {
  if (!is_qun_id(qun_id)) return;
  std::string uri;
  {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    const ContactStore* store = state.store();
    const fx_qun* qun = store ? store->qun_by_id(qun_id) : nullptr;
    if (qun == nullptr || !has_text(qun->uri)) return;
    uri = qun->uri;
  }
  send_command(command::kGetGroupMembers, body_get_group_members(uri.c_str()), members_answer,
               nullptr, nullptr);
}

void apply_qun_events(const char* body) {
  const std::vector<QunPresence> items = parse_qun_presence_events(body);
  if (items.empty()) return;
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  if (ContactStore* store = state.store()) apply_qun_presence(*store, items);
}

}  // namespace tavrin::contacts
