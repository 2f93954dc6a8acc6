// Time from queueing a request to the worker handing it to the driver's
// send. The driver records the moment of each send; the worker sits in its
// poll (3 s without a wake-up) when each request is queued.
//   build/default/bin/bench_engine_queue_to_send
#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "frame/engine.h"
#include "libtavrin.h"

namespace {

using Clock = std::chrono::steady_clock;
std::atomic<int64_t> g_sent_at{0};  // ns since epoch of the last send

int d_start() {
  return 1;
}
void d_stop() {}
int d_check() {
  return 1;
}
int d_connect() {
  return 1;
}
int d_close() {
  return 1;
}
int d_poll(char*, int, int wake_fd) {
  pollfd p{wake_fd, POLLIN, 0};
  ::poll(&p, 1, 3000);
  return 0;
}
int d_send(const char*, int len) {
  g_sent_at.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
  return len;
}
const tavrin::NetDriver kDriver{d_start, d_stop, d_check, d_connect, d_close, d_poll, d_send};

void BM_QueueToDriverSend(benchmark::State& state) {
  tavrin::engine().preset_driver(&kDriver);
  if (fx_init() != 1) {
    state.SkipWithError("fx_init failed");
    return;
  }
  const std::string text =
      "S tavrin.local SIP-C/2.0\r\nF: 123456789\r\nI: 5 \r\nQ: 1 S\r\nN: GetContactList\r\n\r\n";
  std::vector<double> samples;
  for (auto _ : state) {
    state.PauseTiming();
    // Give the worker time to go back into its poll, as between user actions.
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    g_sent_at.store(0);
    state.ResumeTiming();
    const auto queued = Clock::now();
    tavrin::engine().send_queue.push(text);
    int64_t at;
    while ((at = g_sent_at.load(std::memory_order_acquire)) == 0) {
    }
    const double us = double(at - queued.time_since_epoch().count()) / 1000.0;
    samples.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  fx_terminate();
  tavrin::engine().preset_driver(nullptr);
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  state.counters["median_us"] = samples[samples.size() / 2];
  state.counters["p99_us"] = samples[samples.size() * 99 / 100];
  state.counters["max_us"] = samples.back();
}
BENCHMARK(BM_QueueToDriverSend)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
