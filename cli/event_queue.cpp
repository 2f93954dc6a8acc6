#include "event_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tavrin::cli {

EventQueue::EventQueue() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

EventQueue::~EventQueue() {
  if (fd_ >= 0) close(fd_);
}

void EventQueue::push(Event event) {
  {
    std::lock_guard lock(mu_);
    events_.push_back(std::move(event));
  }
  const uint64_t one = 1;
  // A full counter still leaves the fd readable, so a failed write loses nothing.
  [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
}

std::vector<Event> EventQueue::take_all() {
  uint64_t count = 0;
  [[maybe_unused]] ssize_t n = read(fd_, &count, sizeof count);
  std::lock_guard lock(mu_);
  std::vector<Event> out(std::make_move_iterator(events_.begin()),
                         std::make_move_iterator(events_.end()));
  events_.clear();
  return out;
}

void EventQueue::engine_callback(int code, intptr_t p1, intptr_t p2, void* user) {
  auto* queue = static_cast<EventQueue*>(user);
  if (queue == nullptr) return;
  try {
    queue->push(make_event(code, p1, p2));
  } catch (...) {
    // Out of memory on an engine thread: the message is lost, the engine is not.
  }
}

}  // namespace tavrin::cli
