// A network driver table for tests and benchmarks: "connected" while the
// test says so, records every send, and lets a test script how many bytes
// each send takes. Its poll waits on the worker's wake-up like the real one,
// and hands over what a test gave it to receive once something was sent.
#pragma once

#include <poll.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "frame/net_driver.h"

namespace tavrin::test {

struct RecordingDriver {
  static inline std::mutex mu;
  static inline std::condition_variable cv;
  static inline std::string sent;             // every byte sent, in order
  static inline int sends = 0;                // number of send calls
  static inline std::deque<int> send_limits;  // per call: max bytes taken (0 = refuse)
  static inline std::atomic<bool> connected{true};
  static inline std::atomic<int> closes{0};
  // How long poll waits without a wake-up; -1 waits for the wake-up alone.
  static inline std::atomic<int> poll_ms{3000};
  // Bytes the next poll after the first send "receives" (once).
  static inline std::string to_receive;

  static void reset() {
    std::lock_guard lock(mu);
    sent.clear();
    sends = 0;
    send_limits.clear();
    connected = true;
    closes = 0;
    poll_ms = 3000;
    to_receive.clear();
  }

  static int start() { return 1; }
  static void stop() {}
  static int check() { return connected ? 1 : 0; }
  static int connect() { return 1; }
  static int close() {
    ++closes;
    return 1;
  }
  static int poll_op(char* buf, int cap, int wake_fd) {
    {
      std::lock_guard lock(mu);
      if (!to_receive.empty() && !sent.empty() && int(to_receive.size()) <= cap) {
        const int n = int(to_receive.size());
        to_receive.copy(buf, to_receive.size());
        to_receive.clear();
        return n;
      }
    }
    pollfd p{wake_fd, POLLIN, 0};
    ::poll(&p, 1, poll_ms);
    return 0;
  }
  static int send(const char* text, int len) {
    std::lock_guard lock(mu);
    ++sends;
    int take = len;
    if (!send_limits.empty()) {
      take = std::min(take, send_limits.front());
      send_limits.pop_front();
    }
    if (take > 0) sent.append(text, size_t(take));
    cv.notify_all();
    return take;
  }

  // Waits until `bytes` bytes have been sent (or the limit passes).
  static bool wait_sent(size_t bytes, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mu);
    return cv.wait_for(lock, limit, [&] { return sent.size() >= bytes; });
  }

  static const NetDriver& table() {
    static const NetDriver t{start, stop, check, connect, close, poll_op, send};
    return t;
  }
  // The same with a caller's send: it shares send's limits and record.
  static const NetDriver& table_with_try_send() {
    static const NetDriver t{start, stop, check, connect, close, poll_op, send, send};
    return t;
  }
};

}  // namespace tavrin::test
