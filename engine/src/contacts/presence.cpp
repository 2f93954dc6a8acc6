#include "contacts/presence.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "frame/engine.h"
#include "roster/engine_contacts.h"
#include "roster/payload_bodies.h"
#include "roster/payload_parsers.h"
#include "session/registration.h"
#include "session/session.h"
#include "session/session_hooks.h"
#include "sipc/command.h"
#include "sipc/wire.h"

namespace tavrin::contacts {

namespace {

constexpr uint32_t kStateTimeoutTicks = 1500;

struct StateRequest {
  ReplyTo to;
  int code = 0;
};

void free_state_request(void* user) {
  delete static_cast<StateRequest*>(user);
}

void state_answer(sipc_message& m, void* user) {
  auto* req = static_cast<StateRequest*>(user);
  engine().timers.remove(uint32_t(m.call_id()), 1);
  if (is_success(m)) {
    {
      auto& state = EngineContacts::instance();
      auto lock = state.lock();
      state.user().state = req->code;
    }
    req->to.post(FX_MSG_STATE_SET, req->code, 0);
  } else {
    req->to.post(FX_MSG_STATE_SET_FAILED, req->code, 0);
  }
}

// The time-out's argument is the request's call id; the request itself is
// read through its transaction, which keeps it alive while it is used.
int state_timeout(void* argument) {
  const auto call_id = int32_t(reinterpret_cast<intptr_t>(argument));
  if (auto entry = wire().transactions.find(call_id)) {
    if (entry->handler == state_answer) {
      const auto* req = static_cast<StateRequest*>(entry->user);
      req->to.post(FX_MSG_STATE_SET_TIMEOUT, req->code, 0);
    }
  }
  return 0;
}

// The contacts subscription's answer reaches its caller once.
struct Subscription {
  ReplyTo to;
  std::atomic<bool> answered{false};
};

void free_subscription(void* user) {
  delete static_cast<Subscription*>(user);
}

void subscription_handler(sipc_message& m, void* user) {
  auto* sub = static_cast<Subscription*>(user);
  if (!m.is_response()) {
    if (sipc_name_equal(m.method(), "BN")) apply_presence_events(m.body().c_str());
    return;
  }
  if (m.status() != 200) return;
  if (!sub->answered.exchange(true)) sub->to.post(FX_MSG_PRESENCE_SUBSCRIBED);
}

void queue_subscription(int32_t call_id, int32_t sequence, const std::string& body,
                        bool unsubscribe) {
  sipc_message request = sipc_message::request(request_origin(), "SUB", call_id, sequence, body);
  request.add_header("N", command::kPresence);
  if (unsubscribe) request.add_header("X", "0 ");
  wire().queue(request);
}

// An account of kind 1 with a uri: its uri, else empty.
std::string subscribable_uri(long id) {
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  const ContactStore* store = state.store();
  const fx_account* a = store ? store->account_by_id(id) : nullptr;
  if (a == nullptr || a->kind != 1 || !has_text(a->uri)) return {};
  return a->uri;
}

struct Posting {
  int code;
  intptr_t p1;
  long id;
};

// Whom a whole-list (un)subscription names: the store's subscribable
// contacts and the user's own uri, copied under the contacts lock.
struct SubscriptionTargets {
  std::vector<std::string> uris;
  std::string own_uri;
  bool with_own = false;
  const char* own() const { return with_own ? own_uri.c_str() : nullptr; }
};

SubscriptionTargets subscription_targets() {
  SubscriptionTargets t;
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  if (const ContactStore* store = state.store()) t.uris = subscribable_uris(*store);
  if (state.user().uri) {
    t.own_uri = state.user().uri;
    t.with_own = true;
  }
  return t;
}

}  // namespace

int status_of_presence_value(int value) {
  switch (value) {
    case 400:
      return 66;
    case 600:
      return 67;
    case 0:
      return 68;
    case 300:
      return 69;
    case 850:
      return 70;
    case 500:
      return 71;
    case 150:
      return 72;
    case 100:
      return 73;
    default:
      return 68;
  }
}

int set_user_state(int code, fx_msg_cb cb, void* user) {
  if (code < 66 || code > 74) return 1;
  auto req = std::make_unique<StateRequest>();
  req->to = ReplyTo{cb, user};
  req->code = code;
  // The timer lock is held from before the request is queued until its
  // time-out exists, so an answer can never look for a time-out not yet added.
  engine().timers.lock();
  const int32_t call_id =
      send_command(command::kSetPresence, body_set_presence(tavrin::presence_value_of(code)),
                   state_answer, req.release(), free_state_request);
  engine().timers.add(uint32_t(call_id), 1, kStateTimeoutTicks, state_timeout,
                      reinterpret_cast<void*>(intptr_t{call_id}));
  engine().timers.unlock();
  return 0;
}

void subscribe_contacts(fx_msg_cb cb, void* user) {
  const SubscriptionTargets targets = subscription_targets();
  const ReplyTo to{cb, user};
  if (targets.uris.empty()) {
    to.post(FX_MSG_PRESENCE_SUBSCRIBED);
    return;
  }
  auto sub = std::make_unique<Subscription>();
  sub->to = to;
  const int32_t call_id = wire().new_call_id();
  session().presence_call = call_id;
  // Its events carry every contact's presence at once: they grow with the
  // contact list as its answer does.
  wire().transactions.add(call_id, subscription_handler, sub.release(), free_subscription,
                          sipc_max_large_body);
  queue_subscription(call_id, 1, body_subscribe_contacts(targets.uris, targets.own(), true), false);
}

void subscribe_contact(long id) {
  const std::string uri = subscribable_uri(id);
  if (uri.empty()) return;
  int32_t call_id = session().presence_call;
  if (call_id == 0) {
    call_id = wire().new_call_id();
    session().presence_call = call_id;
    auto sub = std::make_unique<Subscription>();
    sub->answered = true;  // nobody waits for 12 here
    wire().transactions.add(call_id, subscription_handler, sub.release(), free_subscription);
  }
  queue_subscription(call_id, wire().transactions.next_sequence(call_id),
                     body_subscribe_contact(uri.c_str(), true), false);
}

void unsubscribe_contact(long id) {
  const int32_t call_id = session().presence_call;
  if (call_id == 0) return;
  const std::string uri = subscribable_uri(id);
  if (uri.empty()) return;
  queue_subscription(call_id, wire().transactions.next_sequence(call_id),
                     body_subscribe_contact(uri.c_str(), false), true);
}

void unsubscribe_all() {
  const int32_t call_id = session().presence_call;
  if (call_id == 0) return;
  const SubscriptionTargets targets = subscription_targets();
  queue_subscription(call_id, wire().transactions.next_sequence(call_id),
                     body_subscribe_contacts(targets.uris, targets.own(), false), true);
}

void apply_presence_events(const char* body) {
  const std::vector<PresenceItem> items = parse_presence_events(body);
  if (items.empty()) return;
  std::vector<Posting> posts;
  std::vector<long> offline;
  {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    ContactStore* store = state.store();
    if (store == nullptr) return;
    for (const PresenceItem& item : items) {
      fx_account* a = store->account_by_id(item.id);
      if (a == nullptr) continue;
      if (item.subscribe_result) {
        if (!item.has_personal) continue;
        if (a->personal_info == nullptr) a->personal_info = new_record<fx_personal_info>();
        set_text(a->personal_info->mobile_no, item.mobile_no ? item.mobile_no->c_str() : nullptr);
        set_text(a->personal_info->name, item.name ? item.name->c_str() : nullptr);
        set_text(a->personal_info->nickname, item.nickname ? item.nickname->c_str() : nullptr);
        continue;
      }
      if (item.has_basic)
        set_text(a->device_type, item.device_type ? item.device_type->c_str() : nullptr);
      if (item.has_personal) {
        if (item.has_portrait_crc) a->portrait_crc = item.portrait_crc;
        if (a->personal_info == nullptr) a->personal_info = new_record<fx_personal_info>();
        set_text(a->personal_info->impresa, item.impresa ? item.impresa->c_str() : nullptr);
        set_text(a->personal_info->nickname, item.nickname ? item.nickname->c_str() : nullptr);
      }
      for (int days : item.sms_days) {
        if (a->personal_info == nullptr) a->personal_info = new_record<fx_personal_info>();
        a->personal_info->refuse_sms_day = days;
        posts.push_back({FX_MSG_CONTACT_REFUSE_SMS_DAYS, days, item.id});
        if (state.is_own_id(item.id)) {
          fx_user& u = state.user();
          if (u.personal_info == nullptr) u.personal_info = new_record<fx_personal_info>();
          u.personal_info->refuse_sms_day = days;
          posts.push_back({FX_MSG_REFUSE_SMS_DAY_SET, days, item.id});
        }
      }
      posts.push_back({FX_MSG_CONTACT_CHANGED, 0, item.id});
      if (item.has_basic) {
        const int status = status_of_presence_value(item.value);
        a->status = status;
        if (status == 68) offline.push_back(item.id);
        posts.push_back({status, 0, item.id});
      }
    }
  }
  const SessionHooks hooks = session_hooks();
  if (hooks.drop_dialog)
    for (long id : offline) hooks.drop_dialog(id);
  for (const Posting& p : posts) engine().callbacks.post_system(p.code, p.p1, p.id);
}

}  // namespace tavrin::contacts
