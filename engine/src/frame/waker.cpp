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
  uint64_t one = 1;
  // EAGAIN means the counter is saturated: a wake is pending anyway.
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Waker::drain() {
  uint64_t value;
  while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
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
