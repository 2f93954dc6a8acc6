#include "roster/contact_store.h"

namespace tavrin::contacts {

namespace {

// Appends node to a chain given by head and tail.
void link_last(fx_list*& head, fx_list*& tail, fx_list* node) {
  if (tail == nullptr)
    head = node;
  else
    tail->next = node;
  tail = node;
}

// Unlinks and returns the first node whose record has the id (linear: only
// used for the short buddy-list chain and for duplicate blacklist ids).
template <class T, class Id>
fx_list* unlink_first(fx_list*& head, fx_list*& tail, Id id) {
  fx_list* prev = nullptr;
  for (fx_list* n = head; n != nullptr; prev = n, n = n->next) {
    if (static_cast<T*>(n->data)->id != id) continue;
    if (prev == nullptr)
      head = n->next;
    else
      prev->next = n->next;
    if (tail == n) tail = prev;
    n->next = nullptr;
    return n;
  }
  return nullptr;
}

}  // namespace

ContactStore::ContactStore() : fx_contact_data{} {}

ContactStore::~ContactStore() {
  free_chain<fx_group>(groups);
  free_chain<fx_account>(accounts);
  free_chain<fx_blocked>(blacklist);
  free_chain<fx_qun>(quns);
}

fx_account* ContactStore::account_by_id(long id) const {
  if (id == 0) return nullptr;
  auto it = accounts_by_id_.find(id);
  return it == accounts_by_id_.end() ? nullptr : static_cast<fx_account*>(it->second.node->data);
}

fx_qun* ContactStore::qun_by_id(long id) const {
  if (id == 0) return nullptr;
  auto it = quns_by_id_.find(id);
  return it == quns_by_id_.end() ? nullptr : it->second;
}

fx_group* ContactStore::group_by_id(int id) const {
  for (fx_list* n = groups; n != nullptr; n = n->next)
    if (static_cast<fx_group*>(n->data)->id == id) return static_cast<fx_group*>(n->data);
  return nullptr;
}

fx_blocked* ContactStore::blocked_by_id(long id) const {
  if (id == 0) return nullptr;
  auto it = blocked_by_id_.find(id);
  return it == blocked_by_id_.end() ? nullptr : static_cast<fx_blocked*>(it->second->data);
}

const char* ContactStore::uri_of(long id) const {
  if (fx_account* a = account_by_id(id); a != nullptr && a->uri != nullptr) return a->uri;
  if (fx_qun* q = qun_by_id(id)) return q->uri;
  return nullptr;
}

fx_account* ContactStore::add_account(const fx_account& src) {
  return adopt_account(AccountPtr(copy_account(src)));
}

fx_account* ContactStore::adopt_account(AccountPtr account) {
  long id = account->id;
  remove_account(id);
  fx_list* node = new_node(account.get());
  if (id != 0) {
    try {
      accounts_by_id_.emplace(id, Slot{node, accounts_tail_});
    } catch (...) {
      free_nodes(node);
      throw;
    }
  }
  link_last(accounts, accounts_tail_, node);
  ++account_count;
  return account.release();
}

bool ContactStore::remove_account(long id) {
  if (id == 0) return false;
  auto it = accounts_by_id_.find(id);
  if (it == accounts_by_id_.end()) return false;
  fx_list* node = it->second.node;
  fx_list* prev = it->second.prev;
  fx_list* next = node->next;
  if (prev == nullptr)
    accounts = next;
  else
    prev->next = next;
  if (next == nullptr) {
    accounts_tail_ = prev;
  } else {
    long next_id = static_cast<fx_account*>(next->data)->id;
    auto next_it = accounts_by_id_.find(next_id);
    if (next_it != accounts_by_id_.end() && next_it->second.node == next)
      next_it->second.prev = prev;
  }
  accounts_by_id_.erase(it);
  // A walk standing on the removed contact ends there rather than follow it.
  if (cursor_ == node) cursor_ = nullptr;
  free_account(static_cast<fx_account*>(node->data));
  node->next = nullptr;
  free_nodes(node);
  return true;
}

fx_group* ContactStore::add_group(const fx_group& src) {
  return adopt_group(GroupPtr(copy_group(src)));
}

fx_group* ContactStore::adopt_group(GroupPtr group) {
  link_last(groups, groups_tail_, new_node(group.get()));
  return group.release();
}

bool ContactStore::remove_group(int id) {
  fx_list* node = unlink_first<fx_group>(groups, groups_tail_, id);
  if (node == nullptr) return false;
  free_group(static_cast<fx_group*>(node->data));
  free_nodes(node);
  return true;
}

fx_blocked* ContactStore::add_blocked(const fx_blocked& src) {
  return adopt_blocked(BlockedPtr(copy_blocked(src)));
}

fx_blocked* ContactStore::adopt_blocked(BlockedPtr blocked) {
  fx_list* node = new_node(blocked.get());
  if (blocked->id != 0) {
    try {
      blocked_by_id_.emplace(blocked->id, node);  // keeps the first of an id
    } catch (...) {
      free_nodes(node);
      throw;
    }
  }
  link_last(blacklist, blacklist_tail_, node);
  return blocked.release();
}

bool ContactStore::remove_blocked(long id) {
  if (id == 0 || blocked_by_id_.count(id) == 0) return false;
  fx_list* node = unlink_first<fx_blocked>(blacklist, blacklist_tail_, id);
  blocked_by_id_.erase(id);
  // A duplicate entry of the same id, if any, becomes the one found by id.
  for (fx_list* n = blacklist; n != nullptr; n = n->next)
    if (static_cast<fx_blocked*>(n->data)->id == id) {
      blocked_by_id_.emplace(id, n);
      break;
    }
  free_blocked(static_cast<fx_blocked*>(node->data));
  free_nodes(node);
  return true;
}

void ContactStore::set_quns(fx_list* list) {
  std::unordered_map<long, fx_qun*> index;
  try {
    for (fx_list* n = list; n != nullptr; n = n->next) {
      auto* q = static_cast<fx_qun*>(n->data);
      if (q->id != 0) index.emplace(q->id, q);
    }
  } catch (...) {
    free_chain<fx_qun>(list);
    throw;
  }
  free_chain<fx_qun>(quns);
  quns = list;
  quns_by_id_.swap(index);
}

fx_account* ContactStore::first_account() {
  cursor_ = accounts;
  return cursor_ == nullptr ? nullptr : static_cast<fx_account*>(cursor_->data);
}

fx_account* ContactStore::next_account(const fx_account* after) {
  if (after == nullptr) return nullptr;
  fx_list* at = nullptr;
  if (cursor_ != nullptr && cursor_->data == after) {
    at = cursor_;
  } else {
    for (fx_list* n = accounts; n != nullptr; n = n->next)
      if (n->data == after) {
        at = n;
        break;
      }
    if (at == nullptr) return nullptr;
  }
  cursor_ = at->next;
  return cursor_ == nullptr ? nullptr : static_cast<fx_account*>(cursor_->data);
}

}  // namespace tavrin::contacts
