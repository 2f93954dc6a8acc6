#include "frame/worker.h"

#include <chrono>
#include <vector>

#include "frame/net_driver.h"
#include "frame/thread_start.h"
#include "frame/waker.h"

namespace tavrin {

namespace {
// Idle step while there is no connection; a wake (new connection or a
// queued request) ends it early.
constexpr int kIdleMs = 100;
// Longest time the stopping worker spends getting the last texts out.
constexpr auto kFinishLimit = std::chrono::milliseconds(1000);
}  // namespace

Worker::Worker(Waker& waker, std::function<const NetDriver&()> driver)
    : waker_(waker), driver_(std::move(driver)) {}

void Worker::start() {
  if (thread_.joinable()) return;
  stop_ = false;
  auto started = start_engine_thread([this](const StartSignal& signal) {
    signal->release();
    run();
  });
  thread_ = std::move(started.first);
}

void Worker::stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  waker_.wake();
  thread_.join();
}

void Worker::finish_sending() {
  // The last requests (a logout) get out before the connection closes.
  // Instead of a fixed 1 s sleep the worker stops as soon as the queue is
  // empty, and gives up after 1 s when the connection will not take it.
  const auto deadline = std::chrono::steady_clock::now() + kFinishLimit;
  for (;;) {
    const NetDriver& net = driver_();
    if (!net.check()) return;
    hooks_.flush_send_queue();
    if (hooks_.send_queue_empty() || std::chrono::steady_clock::now() >= deadline) return;
    waker_.wait(10);
    waker_.drain();
  }
}

void Worker::run() {
  std::vector<char> area(kReceiveArea);
  waker_.set_worker(std::this_thread::get_id());
  while (!stop_.load(std::memory_order_acquire)) {
    const NetDriver& net = driver_();
    if (!net.check()) {
      waker_.wait(kIdleMs);
      waker_.drain();
      continue;
    }
    hooks_.flush_send_queue();
    if (!net.check()) {
      waker_.wait(kIdleMs);
      waker_.drain();
      continue;
    }
    const int n = net.poll(area.data(), kReceiveArea - 1, waker_.fd());
    // Drained after the poll and before the next flush: a request queued
    // from here on finds the waker set, so no wake is ever lost.
    waker_.drain();
    const size_t got = n > 0 ? size_t(n) : 0;
    area[got] = '\0';
    hooks_.received(area.data(), got);
  }
  finish_sending();
  waker_.set_worker(std::thread::id());
}

}  // namespace tavrin
