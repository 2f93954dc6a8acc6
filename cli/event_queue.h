// Hands engine messages from the engine's threads to the main thread. push
// is called from any thread (the engine callback); the main thread polls
// fd() together with standard input and drains the queue with take_all.
// Owns an eventfd that is readable while events are waiting.
#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "event.h"

namespace tavrin::cli {

class EventQueue {
 public:
  EventQueue();
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void push(Event event);
  std::vector<Event> take_all();

  // The engine callback: user is the EventQueue.
  static void engine_callback(int code, intptr_t p1, intptr_t p2, void* user);

 private:
  int fd_ = -1;
  std::mutex mu_;
  std::deque<Event> events_;  // guarded by mu_
};

}  // namespace tavrin::cli
