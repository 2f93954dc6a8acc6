// Waker: the one cross-thread wake-up path of the worker thread.
//
// Any thread that gives the worker something to do (a queued request, a new
// connection, a stop request) calls wake(); the worker waits on fd() together
// with its socket, so it leaves its poll at once instead of after 3 s.
// Owned by the engine; wake() and wait() are safe from any thread.
//
// A wake costs one write only when none is pending, and none at all from the
// worker itself (it flushes the send queue before it polls again); drain()
// reads the descriptor only when a wake is pending. No lock: a waker that
// held one across its write would be preempted by the worker it woke, and
// the worker would block on it at once.
#pragma once

#include <atomic>
#include <thread>

namespace tavrin {

class Waker {
 public:
  Waker();
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;

  // Makes fd() readable until the next drain(); nothing when called on the
  // worker thread.
  void wake();
  // Clears the readable state; only the worker calls it.
  void drain();
  // Waits up to ms milliseconds for a wake; true when woken (not drained).
  bool wait(int ms);
  // Readable while a wake is pending; for poll() in network drivers, which
  // only wait on it: drain() alone reads it.
  int fd() const { return fd_; }
  // The worker names its thread when it starts and clears it (a default id)
  // when it ends.
  void set_worker(std::thread::id id) { worker_.store(id, std::memory_order_relaxed); }

 private:
  int fd_;  // an eventfd counting wakes: each drain takes one
  // Set by the wake that will write a count, cleared by the drain that will
  // read one. They take turns, so the count never runs ahead of the flag:
  // while it is clear nothing is readable (or about to be).
  std::atomic<bool> pending_{false};
  std::atomic<std::thread::id> worker_{};
};

}  // namespace tavrin
