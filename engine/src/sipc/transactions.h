// TransactionTable: routes a received message (a response, or a request of
// an open dialog) to the handler registered for its call id, and keeps each
// call id's next sequence number.
//
// Any thread registers and removes entries under the transaction lock; the
// worker looks an entry up under the lock and calls its handler after
// releasing it. An entry's free function runs when the entry is removed and
// no handler call is still using it (never under the lock), so a handler
// never sees its user data freed under it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tavrin {

class sipc_message;

using TransactionHandler = void (*)(sipc_message& message, void* user);
using TransactionFree = void (*)(void* user);

class TransactionTable {
 public:
  struct Entry {
    TransactionHandler handler = nullptr;
    void* user = nullptr;
    int32_t call_id = 0;
    int32_t next_sequence = 2;  // guarded by the transaction lock
    TransactionFree free_fn = nullptr;
    size_t max_body = 0;  // longest body of a message on its call; 0: the ordinary limit
    ~Entry() {
      if (free_fn) free_fn(user);
    }
  };

  // Replaces an entry for the call id (running its free function).
  // max_body: how long a body a message on the call may have (an answer, or a
  // request on the call such as a subscription's events); 0: the ordinary limit.
  void add(int32_t call_id, TransactionHandler handler, void* user, TransactionFree free_fn,
           size_t max_body = 0);
  // The body limit of the call id's entry; 0 when it has none or none is set.
  size_t max_body(int32_t call_id);
  void remove(int32_t call_id);
  void clear();
  // The entry's next sequence number, or 1 when the call id has none.
  int32_t next_sequence(int32_t call_id);
  // A message with sequence s was sent or received on the call id: when
  // s != 0 and s >= next, next becomes s + 1.
  void note_sequence(int32_t call_id, int32_t sequence);
  // The entry for the call id (kept alive while held), or null.
  std::shared_ptr<Entry> find(int32_t call_id);
  size_t size();

 private:
  std::mutex mu_;  // the transaction lock; guards entries_ (and their next_sequence)
  std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace tavrin
