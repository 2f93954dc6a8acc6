// MessageQueue: incoming chat lines (fx_msg records) in arrival order, until
// the client takes them with fx_get_msg. Filled on the worker thread by the
// dialog layer, emptied on the client's thread; guarded by the
// message-queue lock, which is a leaf: nothing else is taken under it.
// The queue owns the records it holds; take() hands one to the caller.
#pragma once

#include <deque>
#include <mutex>

#include "libtavrin.h"

namespace tavrin {

class MessageQueue {
 public:
  MessageQueue() = default;
  ~MessageQueue() { clear(); }
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // Takes ownership of msg (allocated as fx_destroy_msg frees it).
  void push(fx_msg* msg);
  // Removes and returns the oldest record from that sender; null for id 0
  // or when none is queued.
  fx_msg* take(long contact_id);
  void clear();
  size_t size();

 private:
  std::mutex mu_;  // the message-queue lock; guards queue_
  std::deque<fx_msg*> queue_;
};

// A zero-filled record with copies of the given texts (null stays null),
// freed by fx_destroy_msg.
fx_msg* new_fx_msg(long contact_id, const char* text, const char* content_type, const char* date,
                   long source_id);

}  // namespace tavrin
