// Exported scheduled-SMS functions and the list fetch.
#include "contacts/schedule_sms.h"

#include <memory>
#include <string>
#include <vector>

#include "frame/engine.h"
#include "roster/contact_status.h"
#include "roster/engine_contacts.h"
#include "roster/list_chain.h"
#include "roster/payload_bodies.h"
#include "roster/payload_parsers.h"
#include "sipc/command.h"
#include "sipc/wire.h"

namespace tavrin::contacts {

namespace {

EngineContacts& state() {
  return EngineContacts::instance();
}

fx_schedule_sms* find_sms(const fx_user& u, int id) {
  for (fx_list* n = u.schedule_list; n != nullptr; n = n->next) {
    auto* sms = static_cast<fx_schedule_sms*>(n->data);
    if (sms->id == id) return sms;
  }
  return nullptr;
}

// Unlinks and frees the record with the id; false when there is none.
bool remove_sms(fx_user& u, int id) {
  for (fx_list** link = &u.schedule_list; *link != nullptr; link = &(*link)->next) {
    fx_list* node = *link;
    auto* sms = static_cast<fx_schedule_sms*>(node->data);
    if (sms->id != id) continue;
    *link = node->next;
    node->next = nullptr;
    free_chain<fx_schedule_sms>(node);
    return true;
  }
  return false;
}

void append_sms(fx_user& u, fx_schedule_sms* sms) {
  fx_list* node = new_node(sms);
  fx_list** link = &u.schedule_list;
  while (*link != nullptr) link = &(*link)->next;
  *link = node;
}

// ---- The fetch ----

void details_answer(sipc_message& m, void* user) {
  const ReplyTo to = *static_cast<ReplyTo*>(user);
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) {
    to.post(FX_MSG_SCHEDULE_SMS_LIST_FAILED);
    return;
  }
  const std::vector<ScheduleDetail> details = parse_schedule_details_answer(m.body().c_str());
  {
    auto lock = state().lock();
    fx_user& u = state().user();
    apply_schedule_details(u.schedule_list, details, state().store());
  }
  to.post(FX_MSG_SCHEDULE_SMS_LIST_OK);
}

void list_answer(sipc_message& m, void* user) {
  const ReplyTo to = *static_cast<ReplyTo*>(user);
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) {
    to.post(FX_MSG_SCHEDULE_SMS_LIST_FAILED);
    return;
  }
  OwnedChain<fx_schedule_sms> fresh = parse_schedule_list_answer(m.body().c_str());
  std::vector<int> ids;
  for (fx_list* n = fresh.head(); n != nullptr; n = n->next)
    ids.push_back(static_cast<fx_schedule_sms*>(n->data)->id);
  {
    auto lock = state().lock();
    fx_user& u = state().user();
    free_chain<fx_schedule_sms>(u.schedule_list);
    u.schedule_list = fresh.release();
  }
  if (ids.empty()) {
    to.post(FX_MSG_SCHEDULE_SMS_LIST_OK);
    return;
  }
  send_command(command::kGetScheduleSms, body_get_schedule_sms(ids), details_answer,
               new ReplyTo(to), free_reply_to);
}

// ---- Create and delete ----

// What a create request needs for its answer: the receivers by id (looked
// up again in the store then, so a store replaced meanwhile is no danger),
// the send time and the text.
struct PendingSms {
  ReplyTo to;
  std::vector<long> receiver_ids;
  std::string send_time;
  std::string message;
};

void free_pending(void* user) {
  delete static_cast<PendingSms*>(user);
}

void set_answer(sipc_message& m, void* user) {
  const auto* pending = static_cast<PendingSms*>(user);
  wire().transactions.remove(m.call_id());
  const int id = is_success(m) ? parse_schedule_set_answer(m.body().c_str()) : 0;
  if (id == 0) {
    pending->to.post(FX_MSG_SCHEDULE_SMS_NOT_STORED);
    return;
  }
  {
    auto lock = state().lock();
    ScheduleSmsPtr sms(new_record<fx_schedule_sms>());
    sms->id = id;
    sms->send_time = dup_text(pending->send_time.c_str());
    sms->message = dup_text(pending->message.c_str());
    ChainBuilder receivers;
    if (const ContactStore* store = state().store())
      for (long rid : pending->receiver_ids)
        if (fx_account* a = store->account_by_id(rid)) receivers.append(a);
    sms->receivers = receivers.release();
    fx_user& u = state().user();
    remove_sms(u, id);
    append_sms(u, sms.get());
    sms.release();
  }
  pending->to.post(FX_MSG_SCHEDULE_SMS_STORED, id);
}

struct DeleteRequest {
  ReplyTo to;
  int id = 0;
};

void free_delete(void* user) {
  delete static_cast<DeleteRequest*>(user);
}

void delete_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<DeleteRequest*>(user);
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) {
    req->to.post(FX_MSG_SCHEDULE_SMS_NOT_DELETED, req->id);
    return;
  }
  {
    auto lock = state().lock();
    remove_sms(state().user(), req->id);
  }
  req->to.post(FX_MSG_SCHEDULE_SMS_DELETED, req->id);
}

char* new_text(const std::string& s) {
  return dup_text(s.c_str());
}

}  // namespace

void request_schedule_list(fx_msg_cb cb, void* user) {
  send_command(command::kGetScheduleSmsList, body_get_schedule_sms_list(), list_answer,
               new ReplyTo{cb, user}, free_reply_to);
}

void request_schedule_list_after_login() {
  request_schedule_list(nullptr, nullptr);
}

}  // namespace tavrin::contacts

using namespace tavrin::contacts;

extern "C" {

FX_API fx_list* fx_data_get_smlist(void) {
  try {
    auto lock = state().lock();
    const fx_user* u = state().user_if_any();
    return u != nullptr ? u->schedule_list : nullptr;
  } catch (...) {
    return nullptr;
  }
}

FX_API fx_schedule_sms* fx_get_schedulesms_by_id(int id) {
  try {
    auto lock = state().lock();
    const fx_user* u = state().user_if_any();
    return u != nullptr ? find_sms(*u, id) : nullptr;
  } catch (...) {
    return nullptr;
  }
}

FX_API int fx_set_schedule_sms(const fx_list* receivers, const char* message, const char* send_time,
                               fx_msg_cb cb, void* user) {
  try {
    if (receivers == nullptr || message == nullptr || send_time == nullptr) return 0;
    auto pending = std::make_unique<PendingSms>();
    pending->to = tavrin::ReplyTo{cb, user};
    pending->send_time = send_time;
    pending->message = message;
    std::vector<std::string> uris;
    {
      // The receivers are normally the store's own accounts.
      auto lock = state().lock();
      for (const fx_list* n = receivers; n != nullptr; n = n->next) {
        const auto* a = static_cast<const fx_account*>(n->data);
        if (a == nullptr || !has_text(a->uri)) continue;
        uris.emplace_back(a->uri);
        pending->receiver_ids.push_back(a->id);
      }
    }
    if (uris.empty()) return 0;
    tavrin::send_command(command::kSetScheduleSms, body_set_schedule_sms(send_time, message, uris),
                         set_answer, pending.release(), free_pending);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API int fx_delete_schedule_sms(int id, fx_msg_cb cb, void* user) {
  try {
    if (id == 0) return 0;
    {
      auto lock = state().lock();
      const fx_user* u = state().user_if_any();
      if (u == nullptr || find_sms(*u, id) == nullptr) return 0;
    }
    auto req = std::make_unique<DeleteRequest>();
    req->to = tavrin::ReplyTo{cb, user};
    req->id = id;
    tavrin::send_command(command::kDeleteScheduleSms, body_delete_schedule_sms(id), delete_answer,
                         req.release(), free_delete);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API char* fx_covert_schedule_receiver_to_string(const fx_list* receivers) {
  try {
    if (receivers == nullptr) return nullptr;
    std::string out;
    auto lock = state().lock();
    for (const fx_list* n = receivers; n != nullptr; n = n->next) {
      const auto* a = static_cast<const fx_account*>(n->data);
      if (a == nullptr) continue;
      out += account_show_name(*a, false);
      out += ':';
    }
    return new_text(out);
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
