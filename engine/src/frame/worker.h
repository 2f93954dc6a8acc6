// Worker: the engine thread that does all network work. Each pass it
// checks the connection, flushes the send queue, polls the socket (up to
// 3 s, or until the waker fires) and hands what arrived to the SIP-C layer,
// which cuts it into messages and dispatches them.
//
// The SIP-C layer's part is explicit: the three WireHooks below. The worker
// itself knows nothing of messages.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>

namespace tavrin {

class Waker;
struct NetDriver;

struct WireHooks {
  // Hand queued texts to the driver (worker thread).
  std::function<void()> flush_send_queue;
  // True while texts wait to be sent.
  std::function<bool()> send_queue_empty;
  // After every poll, with the bytes read (possibly none): append them to
  // the receive buffer, cut out every complete message and dispatch it, and
  // judge a message that stopped arriving half-way (worker thread).
  std::function<void(const char* data, size_t len)> received;
};

class Worker {
 public:
  // Receive area of the poll: reads take at most this minus one byte.
  static constexpr int kReceiveArea = 102400;

  Worker(Waker& waker, std::function<const NetDriver&()> driver);
  ~Worker() { stop(); }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void set_hooks(WireHooks hooks) { hooks_ = std::move(hooks); }  // before start()
  void start();
  // Sends what is still queued (for at most 1 s), then ends the thread.
  void stop();
  bool running() const { return thread_.joinable(); }

 private:
  void run();
  void finish_sending();

  Waker& waker_;
  std::function<const NetDriver&()> driver_;
  WireHooks hooks_;  // set before start, read only by the worker thread
  std::atomic<bool> stop_{false};
  std::thread thread_;  // started and joined by the fx_init/fx_terminate caller
};

}  // namespace tavrin
