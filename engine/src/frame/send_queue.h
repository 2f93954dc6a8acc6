// SendQueue: serialised SIP-C texts waiting for the worker to send them.
//
// Any thread appends (push wakes the worker at once); the worker sends
// (flush). A text that finds the queue empty and nobody sending is first
// tried on the caller's thread (the driver's try_send), which saves the
// hand-over to the worker on the way of a chat line; what that does not send
// whole is queued for the worker, which also meets and reports any error.
// One sender at a time (sending_), so texts leave in the order they came. A
// text the driver did not take whole stays at the front with the part
// already sent cut off, so nothing is lost or sent twice when a send is
// short or reports "would block".
//
// The send-queue lock (mu_) is taken AFTER the timer lock, never before it:
// a timer handler may queue while holding the timer lock, and neither push()
// nor flush() holds the send-queue lock while it calls the driver (try_send
// reports nothing and takes only the connection's leaf lock), so a socket error
// reported from a send (message 97) reaches its receiver with no engine lock
// held. See frame/timer_table.h for the full order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "frame/net_driver.h"

namespace tavrin {

class Waker;

class SendQueue {
 public:
  explicit SendQueue(Waker& waker) : waker_(waker) {}
  SendQueue(const SendQueue&) = delete;
  SendQueue& operator=(const SendQueue&) = delete;

  // Appends a text and wakes the worker.
  void push(std::string text);
  // The same, sending at once on this thread when nothing is queued or being
  // sent; wakes the worker only when something is left for it.
  void push(std::string text, const NetDriver& driver);
  // Worker thread: hands texts from the front to the driver's send until the
  // queue is empty or the driver takes nothing.
  void flush(const NetDriver& driver);
  // Drops every text (a new connection starts with an empty queue).
  void clear();
  bool empty();
  size_t size();

 private:
  Waker& waker_;
  std::mutex mu_;  // the send-queue lock; guards the fields below
  std::deque<std::string> texts_;
  size_t front_sent_ = 0;    // bytes of texts_.front() already sent
  bool sending_ = false;     // a thread has a text out of the queue
  uint64_t generation_ = 0;  // bumped by clear(), so a text taken out before
                             // a clear is not put back after it
};

}  // namespace tavrin
