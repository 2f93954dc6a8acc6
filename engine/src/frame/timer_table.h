// TimerTable: the engine's one table of up to 128 timers, keyed by a unique
// (key 1, key 2) pair, advanced by the timer thread once per 10 ms tick.
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
  // One pass of the timer thread: tick counter + 1, then advance(1).
  void tick();
  uint32_t tick_count();
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

  std::recursive_mutex mu_;  // the timer lock; guards everything below
  std::array<std::unique_ptr<Entry>, kCapacity> entries_;
  int count_ = 0;
  uint32_t ticks_ = 0;
  uint64_t next_serial_ = 1;
};

}  // namespace tavrin
