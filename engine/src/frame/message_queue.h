// MessageQueue: incoming chat lines (fx_msg records) in arrival order, until
// the client takes them with fx_get_msg. Filled on the worker thread by the
// dialog layer, emptied on the client's thread; guarded by the
// message-queue lock, which is a leaf: nothing else is taken under it.
// The queue owns the records it holds; take() hands one to the caller.
//
// A record may carry a release action, run once the client is done with the
// record it took (fx_destroy_msg): the engine answers the service for a line
// only then, so the service lets a line go only once the client has kept it.
// clear() forgets records and actions without running them.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "libtavrin.h"

namespace tavrin {

class MessageQueue {
 public:
  MessageQueue() = default;
  ~MessageQueue() { clear(); }
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  using Release = std::function<void()>;

  // Takes ownership of msg (allocated as fx_destroy_msg frees it).
  void push(fx_msg* msg, Release on_release = {});
  // Removes and returns the oldest record from that sender; null for id 0
  // or when none is queued.
  fx_msg* take(long contact_id);
  // Runs and forgets the release action of a record that was taken; called
  // by fx_destroy_msg for every record, so any other record is a no-op.
  void released(fx_msg* msg);
  void clear();
  size_t size();

 private:
  struct Entry {
    fx_msg* msg;
    Release on_release;
  };
  std::mutex mu_;  // the message-queue lock; guards queue_ and taken_
  std::deque<Entry> queue_;
  std::unordered_map<fx_msg*, Release> taken_;  // taken records whose action waits
};

// A zero-filled record with copies of the given texts (null stays null),
// freed by fx_destroy_msg.
fx_msg* new_fx_msg(long contact_id, const char* text, const char* content_type, const char* date,
                   long source_id);
// Frees a record and its texts, running no release action.
void free_fx_msg(fx_msg* msg);

}  // namespace tavrin
