#include "frame/timer_thread.h"

#include "frame/thread_start.h"

namespace tavrin {

void TimerThread::start() {
  if (thread_.joinable()) return;
  stop_ = false;
  auto started = start_engine_thread([this](const StartSignal& signal) {
    signal->release();
    table_.start_clock(TimerTable::Clock::now());
    while (!stop_.load(std::memory_order_acquire))
      table_.wait_until(table_.run_due(TimerTable::Clock::now()));
    table_.stop_clock();
  });
  thread_ = std::move(started.first);
}

void TimerThread::stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  table_.wake();
  thread_.join();
}

}  // namespace tavrin
