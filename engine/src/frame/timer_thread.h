// TimerThread: the engine's 10 ms clock. It sleeps until the next timer
// falls due (or a timer is added), then advances the timer table by every
// tick that fell meanwhile (handlers run on this thread).
// Started first by fx_init; stopped by fx_terminate before the engine's
// records are freed, so no timer fires on freed state.
#pragma once

#include <atomic>
#include <thread>

#include "frame/timer_table.h"

namespace tavrin {

class TimerThread {
 public:
  explicit TimerThread(TimerTable& table) : table_(table) {}
  ~TimerThread() { stop(); }
  TimerThread(const TimerThread&) = delete;
  TimerThread& operator=(const TimerThread&) = delete;

  void start();
  // Waits for a running handler to return, then ends the thread.
  void stop();
  bool running() const { return thread_.joinable(); }

 private:
  TimerTable& table_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // started and joined by the fx_init/fx_terminate caller
};

}  // namespace tavrin
