// TimerTable: the engine's one table of up to 128 timers, keyed by a unique
// (key 1, key 2) pair, advanced by the timer thread once per 10 ms tick.
//
// The ticks keep their 10 ms rhythm, but nobody wakes for a tick on which no
// timer falls due: the timer thread sleeps until the next due timer (or a
// wake from add) and then counts every tick that fell meanwhile at once. A
// timer added during such a sleep is first brought up to date with the
// ticks that fell before it existed, so it is counted from its own start.
//
// Ownership: the table owns its entries; a timer's argument stays owned by
// whoever added the timer. Handlers run on the timer thread with the timer
// lock held; they may add and remove timers (the lock is recursive).
//
// LOCK ORDER (timer lock vs. send-queue lock): the timer lock comes FIRST.
// A timer handler may take the send-queue lock (and the transaction lock)
// while it holds the timer lock. No thread may take the timer lock while it
// holds the send-queue lock: the worker never holds the send-queue lock while
// it calls the network driver or posts a message (a socket error found while
// sending, message 97, is posted after the send-queue lock is released), so
// a receiver of 97 that clears or adds timers cannot wait on the worker.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

namespace tavrin {

using TimerHandler = int (*)(void* argument);

// Passing these to add() leaves the handler or the argument empty.
inline const TimerHandler kNoTimerHandler = reinterpret_cast<TimerHandler>(intptr_t{-1});
inline void* const kNoTimerArgument = reinterpret_cast<void*>(intptr_t{-1});

class TimerTable {
 public:
  static constexpr int kCapacity = 128;
  static constexpr std::chrono::milliseconds kTick{10};
  using Clock = std::chrono::steady_clock;

  TimerTable() = default;
  TimerTable(const TimerTable&) = delete;
  TimerTable& operator=(const TimerTable&) = delete;

  // 1 when added; 0 when the table is full or (key1, key2) already exists
  // (the existing timer is left alone). A new timer starts with elapsed 0.
  int add(uint32_t key1, uint32_t key2, uint32_t interval, TimerHandler handler, void* argument);
  // Removes every timer with the pair; the last entry moves into the hole.
  int remove(uint32_t key1, uint32_t key2);
  // Frees every timer (re-login, logout, terminate).
  void clear();
  // Counts n ticks on every timer and runs the handlers that expire.
  void advance(uint32_t n);
  // One tick by hand (tests): tick counter + 1, then advance(1).
  void tick();
  // The tick counter, including the ticks that fell while the timer thread
  // slept.
  uint32_t tick_count();

  // The timer thread's clock. start_clock: the first tick falls one tick
  // from now; stop_clock when the thread ends. run_due: counts every tick fallen by `now` and runs
  // what expires; returns when the next timer falls due (Clock::time_point::max() while no timer
  // has a handler). wait_until: sleeps until then, or until add() or wake() changes the plan.
  void start_clock(Clock::time_point now);
  void stop_clock();
  Clock::time_point run_due(Clock::time_point now);
  void wait_until(Clock::time_point deadline);
  void wake();
  int count();
  bool contains(uint32_t key1, uint32_t key2);
  // Key pair of the timer in a position; for tests of the compaction order.
  bool key_at(int position, uint32_t* key1, uint32_t* key2);

  // The timer lock, for a handler that must let other threads in while it
  // sends (release and re-take).
  void lock() { mu_.lock(); }
  void unlock() { mu_.unlock(); }

 private:
  struct Entry {
    uint32_t key1, key2, interval, elapsed;
    TimerHandler handler;  // null when empty
    void* argument;
    uint64_t serial;  // tells an entry apart from a later one at the same address
  };
  int find_serial(uint64_t serial) const;
  void remove_at(int position);
  // Ticks until the first timer with a handler expires (0: due now);
  // UINT32_MAX when there is none. Under the timer lock.
  uint32_t ticks_to_next_due() const;
  // Counts the ticks fallen by `now` on every timer without running any
  // handler: at most up to the tick before the next expiry. Under the lock.
  void catch_up(Clock::time_point now);

  std::recursive_mutex mu_;  // the timer lock; guards everything below
  std::array<std::unique_ptr<Entry>, kCapacity> entries_;
  int count_ = 0;
  uint32_t ticks_ = 0;
  uint64_t next_serial_ = 1;
  bool clock_started_ = false;
  Clock::time_point next_tick_{};  // when the next uncounted tick falls
  Clock::time_point planned_{};    // when the timer thread means to wake next

  std::mutex wake_mu_;  // a leaf; guards changed_
  std::condition_variable wake_cv_;
  bool changed_ = false;  // set by add() and wake(), cleared by wait_until
};

}  // namespace tavrin
