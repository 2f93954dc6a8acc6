// Waker: the one cross-thread wake-up path of the worker thread.
//
// Any thread that gives the worker something to do (a queued request, a new
// connection, a stop request) calls wake(); the worker waits on fd() together
// with its socket, so it leaves its poll at once instead of after 3 s.
// Owned by the engine; wake() and wait() are safe from any thread.
#pragma once

namespace tavrin {

class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;

  // Makes fd() readable until the next drain().
  void wake();
  // Clears the readable state; only the worker calls it.
  void drain();
  // Waits up to ms milliseconds for a wake; true when woken (not drained).
  bool wait(int ms);
  // Readable while a wake is pending; for poll() in network drivers.
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace tavrin
