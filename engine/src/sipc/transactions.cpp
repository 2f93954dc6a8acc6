#include "sipc/transactions.h"

#include <utility>

namespace tavrin {

void TransactionTable::add(int32_t call_id, TransactionHandler handler, void* user,
                           TransactionFree free_fn, size_t max_body) {
  auto entry = std::make_shared<Entry>();
  entry->handler = handler;
  entry->user = user;
  entry->call_id = call_id;
  entry->free_fn = free_fn;
  entry->max_body = max_body;
  std::shared_ptr<Entry> old;  // released after the lock
  std::lock_guard lock(mu_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if ((*it)->call_id == call_id) {
      old = std::move(*it);
      entries_.erase(it);
      break;
    }
  }
  entries_.push_back(std::move(entry));
}

void TransactionTable::remove(int32_t call_id) {
  std::shared_ptr<Entry> old;
  {
    std::lock_guard lock(mu_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if ((*it)->call_id == call_id) {
        old = std::move(*it);
        entries_.erase(it);
        break;
      }
    }
  }
}

void TransactionTable::clear() {
  std::vector<std::shared_ptr<Entry>> old;
  {
    std::lock_guard lock(mu_);
    old.swap(entries_);
  }
}

int32_t TransactionTable::next_sequence(int32_t call_id) {
  std::lock_guard lock(mu_);
  for (auto& e : entries_)
    if (e->call_id == call_id) return e->next_sequence;
  return 1;
}

void TransactionTable::note_sequence(int32_t call_id, int32_t sequence) {
  if (sequence == 0) return;
  std::lock_guard lock(mu_);
  for (auto& e : entries_) {
    if (e->call_id == call_id) {
      // INT32_MAX has no successor: the number stays where it is.
      if (sequence >= e->next_sequence && sequence < INT32_MAX) e->next_sequence = sequence + 1;
      return;
    }
  }
}

std::shared_ptr<TransactionTable::Entry> TransactionTable::find(int32_t call_id) {
  std::lock_guard lock(mu_);
  for (auto& e : entries_)
    if (e->call_id == call_id) return e;
  return nullptr;
}

size_t TransactionTable::max_body(int32_t call_id) {
  std::lock_guard lock(mu_);
  for (auto& e : entries_)
    if (e->call_id == call_id) return e->max_body;
  return 0;
}

size_t TransactionTable::size() {
  std::lock_guard lock(mu_);
  return entries_.size();
}

}  // namespace tavrin
