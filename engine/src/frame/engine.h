// Engine: the one record of engine state, shared by every engine module.
//
// Lifetime: the record exists for the whole process (it is never destroyed,
// so no exit-time destructor races an engine thread); fx_init (the wiring,
// above every layer) hands it its network driver and the SIP-C layer's part
// of the worker loop and starts its threads; fx_terminate stops them and
// empties its tables.
//
// Threads and locks (each datum names its lock where it is defined):
//   timer lock        TimerTable          (recursive; taken first)
//   send-queue lock   SendQueue           (after the timer lock, never before)
//   transaction lock  TransactionTable    (a leaf; handlers run outside it)
//   message-queue lock MessageQueue       (a leaf)
// Lock order: timer lock -> send-queue lock; timer lock -> transaction lock.
// The send-queue and transaction locks are never held together and never
// held while a driver operation or a callback runs.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "frame/callbacks.h"
#include "frame/message_queue.h"
#include "frame/net_driver.h"
#include "frame/send_queue.h"
#include "frame/timer_table.h"
#include "frame/timer_thread.h"
#include "frame/waker.h"
#include "frame/worker.h"

namespace tavrin {

class Engine {
 public:
  Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // fx_init / fx_terminate. init installs the driver (unless a test preset
  // one) and the hooks, the SIP-C layer's part of the worker loop, and
  // starts the threads. It returns 1, or 0 when the network layer cannot
  // start; a second init while running returns 1 and changes nothing.
  int init(const NetDriver& driver, const WireHooks& hooks);
  void terminate();
  bool running();

  // The installed network driver (a table that does nothing before fx_init).
  const NetDriver& net() const { return *driver_.load(std::memory_order_acquire); }
  // For tests: the table the next fx_init installs instead of the driver
  // it is given; null returns to that one.
  void preset_driver(const NetDriver* driver);

  // Called by fx_terminate after the threads have stopped, in order of
  // registration: modules free the records they own (server settings, the
  // user record, the contact store). Registered once per module, from any
  // thread, also from a timer handler (its lock is a leaf).
  void add_teardown(std::function<void()> teardown);

  TimerTable timers;
  Waker waker;
  SendQueue send_queue{waker};
  MessageQueue messages;
  Callbacks callbacks;

 private:
  std::atomic<const NetDriver*> driver_;
  // Serialises init and terminate and guards preset_driver_. Taken before
  // the timer lock (terminate clears the table); never taken by an engine
  // thread, so terminate can wait for the threads while holding it.
  std::mutex lifecycle_mu_;
  const NetDriver* preset_driver_ = nullptr;
  std::atomic<bool> running_{false};  // written under lifecycle_mu_
  std::mutex teardown_mu_;            // guards teardowns_; a leaf
  std::vector<std::function<void()>> teardowns_;
  TimerThread timer_thread_{timers};
  Worker worker_;
};

Engine& engine();

}  // namespace tavrin
