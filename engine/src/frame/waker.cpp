#include "frame/waker.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace tavrin {

Waker::Waker() : fd_(eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC)) {
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
  // A pending wake is enough: its drain comes after this call (it clears the
  // flag this exchange saw set) and the flush after the drain, so what was
  // queued before this call goes out.
  if (pending_.exchange(true, std::memory_order_acq_rel)) return;
  uint64_t one = 1;
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Waker::drain() {
  if (!pending_.exchange(false, std::memory_order_acq_rel)) return;
  uint64_t value;
  for (;;) {
    const ssize_t r = ::read(fd_, &value, sizeof value);
    if (r >= 0 || (errno != EINTR && errno != EAGAIN)) return;
    // The wake that set the flag is between its exchange and its write:
    // wait for the count rather than leave it to make the next poll spin.
    if (errno == EAGAIN) wait(-1);
  }
}

bool Waker::wait(int ms) {
  pollfd p{fd_, POLLIN, 0};
  int r;
  do r = ::poll(&p, 1, ms);
  while (r < 0 && errno == EINTR);
  return r > 0;
}

}  // namespace tavrin
