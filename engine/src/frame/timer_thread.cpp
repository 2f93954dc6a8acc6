#include "frame/timer_thread.h"

#include <chrono>

#include "frame/thread_start.h"

namespace tavrin {

void TimerThread::start() {
  if (thread_.joinable()) return;
  stop_ = false;
  auto started = start_engine_thread([this](const StartSignal& signal) {
    signal->release();
    while (!stop_.load(std::memory_order_acquire)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      table_.tick();
    }
  });
  thread_ = std::move(started.first);
}

void TimerThread::stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  thread_.join();
}

}  // namespace tavrin
