// The exported contact-management functions and their answer handlers.
//
// Every request keeps what it sent (ids, names, uris) in its transaction's
// context; a handler reads the answer, changes the store under the store
// lock and posts after unlocking. Only status 200 counts as success here.
// When the answer names no id or name, the message carries those of the
// request, so that a failure still says which contact or list it concerns.
#include "contacts/management.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "contacts/presence.h"
#include "frame/sync_wait.h"
#include "libtavrin.h"
#include "roster/contact_id.h"
#include "roster/payload_bodies.h"
#include "roster/payload_parsers.h"
#include "roster/text_cut.h"
#include "sipc/command.h"
#include "sipc/wire.h"

namespace tavrin::contacts {

fx_account* store_account(EngineContacts& state, AccountPtr account) {
  if (state.store() == nullptr) state.install(std::make_unique<ContactStore>());
  ContactStore* store = state.store();
  fx_account* old = account->id != 0 ? store->account_by_id(account->id) : nullptr;
  fx_account* now = store->adopt_account(std::move(account));
  if (old != nullptr) {
    // The replaced account is freed: receivers must not keep pointing at it.
    for (fx_list* n = state.user().schedule_list; n != nullptr; n = n->next)
      for (fx_list* r = static_cast<fx_schedule_sms*>(n->data)->receivers; r != nullptr;
           r = r->next)
        if (r->data == old) r->data = now;
  }
  return now;
}

namespace {

EngineContacts& state() {
  return EngineContacts::instance();
}

// Posts a message whose first argument is a new text, which passes to the
// receiver (or is freed when there is none).
void post_text(const ReplyTo& to, int code, const std::string* text, intptr_t p2) {
  char* copy = text != nullptr ? dup_text(text->c_str()) : nullptr;
  to.post(code, reinterpret_cast<intptr_t>(copy), p2);
}

// What a request sent, for its answer.
struct Request {
  ReplyTo to;
  long id = 0;
  int group_id = 0;
  std::optional<std::string> name;
  std::string uri;
};

void free_request(void* user) {
  delete static_cast<Request*>(user);
}

void send(const char* command, const std::string& body, TransactionHandler handler,
          std::unique_ptr<Request> req) {
  send_command(command, body, handler, req.release(), free_request);
}

std::optional<std::string> text_of(const OptText& t) {
  if (t) return std::string(*t);
  return std::nullopt;
}

// ---- Buddy lists ----

void create_list_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  std::optional<BuddyListAnswer> a;
  if (m.status() == 200) a = parse_buddy_list_answer(m.body().c_str());
  const std::optional<std::string> name = a && a->name ? text_of(a->name) : req->name;
  if (!a || a->id == 0) {
    post_text(req->to, FX_MSG_BUDDYLIST_ADD_FAILED, name ? &*name : nullptr, 0);
    return;
  }
  {
    auto lock = state().lock();
    if (state().store() == nullptr) state().install(std::make_unique<ContactStore>());
    fx_group g{a->id, const_cast<char*>(name ? name->c_str() : nullptr)};
    state().store()->remove_group(a->id);
    state().store()->add_group(g);
  }
  post_text(req->to, FX_MSG_BUDDYLIST_ADDED, name ? &*name : nullptr, a->id);
}

void rename_list_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  std::optional<BuddyListAnswer> a;
  if (m.status() == 200) a = parse_buddy_list_answer(m.body().c_str());
  const std::optional<std::string> name = a && a->name ? text_of(a->name) : req->name;
  const int id = a && a->id != 0 ? a->id : req->group_id;
  if (!a) {
    post_text(req->to, FX_MSG_BUDDYLIST_RENAME_FAILED, name ? &*name : nullptr, id);
    return;
  }
  {
    auto lock = state().lock();
    if (ContactStore* store = state().store())
      if (fx_group* g = store->group_by_id(id)) set_text(g->name, name ? name->c_str() : nullptr);
  }
  post_text(req->to, FX_MSG_BUDDYLIST_RENAMED, name ? &*name : nullptr, id);
}

void delete_list_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  std::optional<BuddyListAnswer> a;
  if (m.status() == 200) a = parse_buddy_list_answer(m.body().c_str());
  const int id = a && a->id != 0 ? a->id : req->group_id;
  std::optional<std::string> name = a ? text_of(a->name) : std::nullopt;
  {
    auto lock = state().lock();
    ContactStore* store = state().store();
    const fx_group* g = store ? store->group_by_id(id) : nullptr;
    if (!name && g != nullptr && g->name != nullptr) name = g->name;
    // A 200 whose body cannot be read still means the list is gone.
    if (m.status() == 200 && store != nullptr) store->remove_group(id);
  }
  post_text(req->to, m.status() == 200 ? FX_MSG_BUDDYLIST_DELETED : FX_MSG_BUDDYLIST_DELETE_FAILED,
            name ? &*name : nullptr, id);
}

// ---- Contacts ----

void set_name_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  std::optional<BuddyNameAnswer> a;
  if (m.status() == 200) a = parse_buddy_info_answer(m.body().c_str());
  const long id = a && a->id != 0 ? a->id : req->id;
  const std::optional<std::string> name = a && a->local_name ? text_of(a->local_name) : req->name;
  if (!a) {
    post_text(req->to, FX_MSG_LOCALNAME_SET_FAILED, name ? &*name : nullptr, id);
    return;
  }
  {
    auto lock = state().lock();
    if (ContactStore* store = state().store())
      if (fx_account* acc = store->account_by_id(id))
        set_text(acc->local_name, name ? name->c_str() : nullptr);
  }
  post_text(req->to, FX_MSG_LOCALNAME_SET, name ? &*name : nullptr, id);
}

void delete_buddy_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  if (m.status() != 200) {
    req->to.post(FX_MSG_BUDDY_DELETE_FAILED, 0, req->id);
    return;
  }
  const std::optional<BuddyNameAnswer> a = parse_buddy_info_answer(m.body().c_str());
  const long id = a && a->id != 0 ? a->id : req->id;
  // The account stays until the next contact list; only its presence ends.
  unsubscribe_contact(id);
  req->to.post(FX_MSG_BUDDY_DELETED, 0, id);
}

void move_buddy_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  std::optional<BuddyMoveAnswer> a;
  if (m.status() == 200) a = parse_buddy_lists_answer(m.body().c_str());
  const long id = a && a->id != 0 ? a->id : req->id;
  const int group = a && a->group_id != 0 ? a->group_id : req->group_id;
  if (!a) {
    req->to.post(FX_MSG_BUDDY_MOVE_FAILED, group, id);
    return;
  }
  {
    auto lock = state().lock();
    if (ContactStore* store = state().store())
      if (fx_account* acc = store->account_by_id(id))
        set_text(acc->buddy_lists, std::to_string(group).c_str());
  }
  req->to.post(FX_MSG_BUDDY_MOVED, group, id);
}

// ---- Blacklist ----

void block_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  if (m.status() != 200) {
    req->to.post(FX_MSG_BLACKLIST_ADD_FAILED, 0, req->id);
    return;
  }
  const std::optional<BlockedAnswer> a = parse_blacklist_answer(m.body().c_str());
  const std::string uri = a && a->uri ? std::string(*a->uri) : req->uri;
  const long id = a && a->uri ? a->id : req->id;
  {
    auto lock = state().lock();
    if (state().store() == nullptr) state().install(std::make_unique<ContactStore>());
    ContactStore* store = state().store();
    if (!store->blacklisted(id)) {
      const fx_account* acc = store->account_by_id(id);
      fx_blocked b{id, const_cast<char*>(uri.c_str()), acc ? acc->local_name : nullptr};
      store->add_blocked(b);
    }
  }
  req->to.post(FX_MSG_BLACKLIST_ADDED, 0, id);
}

void unblock_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<Request*>(user);
  wire().transactions.remove(m.call_id());
  if (m.status() != 200) {
    req->to.post(FX_MSG_BLACKLIST_REMOVE_FAILED, 0, req->id);
    return;
  }
  const std::optional<BlockedAnswer> a = parse_blacklist_answer(m.body().c_str());
  const long id = a && a->uri ? a->id : req->id;
  {
    auto lock = state().lock();
    if (ContactStore* store = state().store()) store->remove_blocked(id);
  }
  req->to.post(FX_MSG_BLACKLIST_REMOVED, 0, id);
}

// ---- Adding ----

// Kind 1 adds by Tavrin number, kind 2 by mobile number ("AddBuddy" with a
// tel uri), kind 3 the same number again as a mobile buddy after a 522.
struct AddRequest {
  ReplyTo to;
  int kind = 1;
  std::string uri;
  std::string local_name;
  int group_id = 0;
  std::string desc;
};

void free_add_request(void* user) {
  delete static_cast<AddRequest*>(user);
}

void send_add(std::unique_ptr<AddRequest> req);

void add_answer(sipc_message& m, void* user) {
  const auto* req = static_cast<AddRequest*>(user);
  wire().transactions.remove(m.call_id());
  if (m.status() == 522 && req->kind == 2) {
    // A number the service does not know: keep it as a phone contact.
    auto again = std::make_unique<AddRequest>(*req);
    again->kind = 3;
    send_add(std::move(again));
    return;
  }
  // A refusal is reported as 94 with the service's status in p1 (0 is
  // success), so that the user learns the contact was not added.
  if (m.status() != 200) {
    req->to.post(FX_MSG_ADD_BUDDY_RESULT, m.status(), 0);
    return;
  }
  AccountPtr account = req->kind == 3 ? parse_add_mobile_buddy_answer(m.body().c_str())
                                      : parse_add_buddy_answer(m.body().c_str());
  if (!account) {
    req->to.post(FX_MSG_ADD_BUDDY_RESULT, 500, 0);
    return;
  }
  const long id = account->id;
  {
    auto lock = state().lock();
    store_account(state(), std::move(account));
  }
  subscribe_contact(id);
  req->to.post(FX_MSG_ADD_BUDDY_RESULT, 0, id);
}

void send_add(std::unique_ptr<AddRequest> req) {
  const char* local_name = req->local_name.c_str();
  const std::string body =
      req->kind == 3
          ? body_add_mobile_buddy(req->uri.c_str(), local_name, req->group_id, req->desc.c_str())
          : body_add_buddy(req->uri.c_str(), local_name, req->group_id, req->desc.c_str());
  const char* name = req->kind == 3 ? command::kAddMobileBuddy : command::kAddBuddy;
  send_command(name, body, add_answer, req.release(), free_add_request);
}

int add_buddy(int kind, const char* number, const char* local_name, int group_id, const char* desc,
              fx_msg_cb cb, void* user) {
  if (number == nullptr) return 0;
  auto req = std::make_unique<AddRequest>();
  req->to = ReplyTo{cb, user};
  req->kind = kind;
  req->uri = (kind == 1 ? "sip:" : "tel:") + std::string(number);
  req->local_name = local_name != nullptr ? utf8_cut(local_name, kLocalNameLimit) : " ";
  req->group_id = group_id;
  req->desc = desc != nullptr ? desc : "";
  send_add(std::move(req));
  return 1;
}

// ---- Argument checks ----

// The uri of the account with the id, when it has one.
std::optional<std::string> uri_of_account(long id) {
  auto lock = state().lock();
  const ContactStore* store = state().store();
  const fx_account* a = store ? store->account_by_id(id) : nullptr;
  if (a == nullptr || !has_text(a->uri)) return std::nullopt;
  return std::string(a->uri);
}

struct AccountView {
  long id = 0;
  std::optional<std::string> uri;
  bool blacklisted = false;
};

// What a request needs of a client-held account, read under the lock.
AccountView view_of(const fx_account* account) {
  auto lock = state().lock();
  AccountView v;
  v.id = account->id;
  if (account->uri != nullptr) v.uri = account->uri;
  const ContactStore* store = state().store();
  v.blacklisted = store != nullptr && store->blacklisted(account->id);
  return v;
}

std::unique_ptr<Request> new_request(fx_msg_cb cb, void* user) {
  auto req = std::make_unique<Request>();
  req->to = ReplyTo{cb, user};
  return req;
}

int send_delete(long id, const std::string& uri, fx_msg_cb cb, void* user) {
  auto req = new_request(cb, user);
  req->id = id;
  req->uri = uri;
  send(command::kDeleteBuddy, body_delete_buddy(uri.c_str()), delete_buddy_answer, std::move(req));
  return 1;
}

int send_move(long id, const std::string& uri, int group_id, fx_msg_cb cb, void* user) {
  auto req = new_request(cb, user);
  req->id = id;
  req->group_id = group_id;
  req->uri = uri;
  send(command::kSetBuddyLists, body_set_buddy_lists(uri.c_str(), group_id), move_buddy_answer,
       std::move(req));
  return 1;
}

int send_blacklist(bool add, long id, const std::string& uri, fx_msg_cb cb, void* user) {
  auto req = new_request(cb, user);
  req->id = id;
  req->uri = uri;
  send(add ? command::kAddToBlacklist : command::kRemoveFromBlacklist, body_blacklist(uri.c_str()),
       add ? block_answer : unblock_answer, std::move(req));
  return 1;
}

int blacklist_account(bool add, const fx_account* account, fx_msg_cb cb, void* user) {
  if (account == nullptr) return 0;
  const AccountView v = view_of(account);
  if (v.blacklisted == add) {
    // Nothing to change: the outcome is known at once.
    ReplyTo{cb, user}.post(add ? FX_MSG_BLACKLIST_ADDED : FX_MSG_BLACKLIST_REMOVED, 0, v.id);
    return 1;
  }
  if (!v.uri) return 0;
  return send_blacklist(add, v.id, *v.uri, cb, user);
}

int blacklist_id(bool add, long id, fx_msg_cb cb, void* user) {
  // The account is only looked at here; the by-account path reads it again
  // under the lock, so a store replaced in between is still safe to use.
  auto lock = state().lock();
  const ContactStore* store = state().store();
  const fx_account* a = store ? store->account_by_id(id) : nullptr;
  if (a == nullptr) return 0;
  const AccountView v = view_of(a);
  lock.unlock();
  if (v.blacklisted == add) {
    ReplyTo{cb, user}.post(add ? FX_MSG_BLACKLIST_ADDED : FX_MSG_BLACKLIST_REMOVED, 0, v.id);
    return 1;
  }
  if (!v.uri) return 0;
  return send_blacklist(add, v.id, *v.uri, cb, user);
}

int rename_buddylist(int group_id, const char* name, const ReplyTo& to) {
  if (group_id == 0 || name == nullptr) return 0;
  auto req = std::make_unique<Request>();
  req->to = to;
  req->group_id = group_id;
  req->name = name;
  send(command::kSetBuddyListInfo, body_set_buddy_list_info(group_id, name), rename_list_answer,
       std::move(req));
  return 1;
}

int set_buddyinfo(long id, const char* local_name, const ReplyTo& to) {
  if (!has_text(local_name) || id == 0) return 0;
  {
    auto lock = state().lock();
    if (state().is_own_id(id)) return 0;
  }
  const std::optional<std::string> uri = uri_of_account(id);
  if (!uri) return 0;
  auto req = std::make_unique<Request>();
  req->to = to;
  req->id = id;
  req->name = local_name;
  req->uri = *uri;
  send(command::kSetBuddyInfo, body_set_buddy_info(uri->c_str(), local_name), set_name_answer,
       std::move(req));
  return 1;
}

// The fs_ forms: 15 s for the answer.
const WaitSpec kRenameWait{
    {FX_MSG_BUDDYLIST_RENAMED, FX_MSG_BUDDYLIST_RENAME_FAILED}, {FX_MSG_BUDDYLIST_RENAMED}, 1500};
const WaitSpec kLocalNameWait{
    {FX_MSG_LOCALNAME_SET, FX_MSG_LOCALNAME_SET_FAILED}, {FX_MSG_LOCALNAME_SET}, 1500};

}  // namespace

}  // namespace tavrin::contacts

using namespace tavrin::contacts;

extern "C" {

FX_API int fx_add_buddylist(const char* name, fx_msg_cb cb, void* user) {
  try {
    if (!has_text(name)) return 0;
    auto req = new_request(cb, user);
    req->name = name;
    send(command::kCreateBuddyList, body_create_buddy_list(name), create_list_answer,
         std::move(req));
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API int fx_rename_buddylist(int group_id, const char* name, fx_msg_cb cb, void* user) {
  try {
    return rename_buddylist(group_id, name, tavrin::ReplyTo{cb, user});
  } catch (...) {
    return 0;
  }
}

FX_API int fs_rename_buddylist(int group_id, const char* name) {
  try {
    return tavrin::wait_for_result(kRenameWait, [&](const tavrin::ReplyTo& to) {
      return rename_buddylist(group_id, name, to);
    });
  } catch (...) {
    return 0;
  }
}

FX_API int fx_delete_buddylist(int group_id, fx_msg_cb cb, void* user) {
  try {
    if (group_id == 0) return 0;
    auto req = new_request(cb, user);
    req->group_id = group_id;
    send(command::kDeleteBuddyList, body_delete_buddy_list(group_id), delete_list_answer,
         std::move(req));
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API int fs_delete_buddylist(int) {
  return 1;
}

FX_API int fx_set_buddyinfo(long id, const char* local_name, fx_msg_cb cb, void* user) {
  try {
    return set_buddyinfo(id, local_name, tavrin::ReplyTo{cb, user});
  } catch (...) {
    return 0;
  }
}

FX_API int fs_set_buddyinfo(long id, const char* local_name) {
  try {
    return tavrin::wait_for_result(kLocalNameWait, [&](const tavrin::ReplyTo& to) {
      return set_buddyinfo(id, local_name, to);
    });
  } catch (...) {
    return 0;
  }
}

FX_API int fx_delete_buddy_by_id(long id, fx_msg_cb cb, void* user) {
  try {
    const std::optional<std::string> uri = uri_of_account(id);
    if (!uri) return 0;
    return send_delete(id, *uri, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_delete_buddy_by_account(const fx_account* account, fx_msg_cb cb, void* user) {
  try {
    if (account == nullptr) return 0;
    const AccountView v = view_of(account);
    bool own = false;
    {
      auto lock = state().lock();
      own = state().is_own_id(v.id);
    }
    if (!v.uri || own) return 0;
    return send_delete(v.id, *v.uri, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_add_buddy_by_uid(const char* uid, const char* local_name, int group_id,
                               const char* description, fx_msg_cb cb, void* user) {
  try {
    return add_buddy(1, uid, local_name, group_id, description, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_add_buddy_by_mobile(const char* mobile_no, const char* local_name, int group_id,
                                  const char* description, fx_msg_cb cb, void* user) {
  try {
    return add_buddy(2, mobile_no, local_name, group_id, description, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_move_group_buddy_by_id(long id, int group_id, fx_msg_cb cb, void* user) {
  try {
    const std::optional<std::string> uri = uri_of_account(id);
    if (!uri) return 0;
    return send_move(id, *uri, group_id, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_move_group_buddy(const fx_account* account, int group_id, fx_msg_cb cb, void* user) {
  try {
    if (account == nullptr) return 0;
    const AccountView v = view_of(account);
    if (!v.uri || v.uri->empty()) return 0;
    return send_move(v.id, *v.uri, group_id, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_addto_blacklist_by_id(long id, fx_msg_cb cb, void* user) {
  try {
    return blacklist_id(true, id, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_addto_blacklist_by_account(const fx_account* account, fx_msg_cb cb, void* user) {
  try {
    return blacklist_account(true, account, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_addto_blacklist_by_uri(const char* uri, fx_msg_cb cb, void* user) {
  try {
    if (uri == nullptr) return 0;
    return send_blacklist(true, contact_id_from_uri(uri), uri, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_removefrom_blacklist_by_id(long id, fx_msg_cb cb, void* user) {
  try {
    return blacklist_id(false, id, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_removefrom_blacklist_by_account(const fx_account* account, fx_msg_cb cb, void* user) {
  try {
    return blacklist_account(false, account, cb, user);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_removefrom_blacklist_by_uri(const char* uri, fx_msg_cb cb, void* user) {
  try {
    if (uri == nullptr) return 0;
    return send_blacklist(false, contact_id_from_uri(uri), uri, cb, user);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
