#include "frame/waker.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace tavrin {

Waker::Waker() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  // Without its wake-up path the engine would silently fall back to the
  // 3 s poll; an engine that cannot get one file descriptor cannot run.
  if (fd_ < 0) std::abort();
}

Waker::~Waker() {
  ::close(fd_);
}

void Waker::wake() {
  // The worker queues answers while it dispatches; it flushes them before
  // its next poll, so waking itself would only cost a pass.
  if (worker_.load(std::memory_order_relaxed) == std::this_thread::get_id()) return;
  std::lock_guard lock(mu_);
  // A pending wake is enough: the worker drains only after its poll and
  // flushes after the drain, so what was queued before this call goes out.
  if (pending_.load(std::memory_order_relaxed)) return;
  pending_.store(true, std::memory_order_release);
  uint64_t one = 1;
  // EAGAIN means the counter is saturated: a wake is pending anyway.
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Waker::drain() {
  // Seen false: no wake has begun writing, and one that begins later is
  // written after this flag is set, so the worker's next poll sees it.
  if (!pending_.load(std::memory_order_acquire)) return;
  std::lock_guard lock(mu_);
  uint64_t value;
  while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
  }
  pending_.store(false, std::memory_order_release);
}

bool Waker::wait(int ms) {
  pollfd p{fd_, POLLIN, 0};
  int r;
  do r = ::poll(&p, 1, ms);
  while (r < 0 && errno == EINTR);
  return r > 0;
}

}  // namespace tavrin
