// Chat lines end to end through tavrin-server on loopback.
//
//   bench_im_chat [--lines 10000] [--flood 20000]
//
// 1. Latency: Alice's engine (a peer process) calls fx_dialog_send; this
//    process, Bob's engine, notes the time of code 16. One line at a time
//    in an open dialog; median and 99th percentile over --lines lines,
//    beside a raw TCP ping-pong over loopback (same message count, a line's
//    size) measured in the same run.
// 2. Receiving: Alice's engine sends --flood lines as fast as her engine
//    takes them; Bob's engine queues them. Lines per second from the first
//    16 to the last, and a check that every line is in the queue, in order.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "libtavrin.h"
#include "peer_process.h"
#include "test_server.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kAlice = 100000001;
constexpr long kBob = 100000002;

long long now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

struct Arrivals {
  std::mutex mu;
  std::condition_variable cv;
  long count = 0;       // lines from Alice so far
  long long last = 0;   // time of the latest
  long long first = 0;  // time of the first
};
Arrivals g_arrivals;

void on_message(int code, intptr_t, intptr_t p2, void*) {
  if ((code != FX_MSG_CHAT_MESSAGE && code != FX_MSG_CHAT_MESSAGE_SO) || p2 != kAlice) return;
  const long long t = now_ns();
  std::lock_guard lock(g_arrivals.mu);
  if (g_arrivals.count++ == 0) g_arrivals.first = t;
  g_arrivals.last = t;
  g_arrivals.cv.notify_all();
}

bool wait_count(long n, long long* at = nullptr) {
  std::unique_lock lock(g_arrivals.mu);
  const bool ok =
      g_arrivals.cv.wait_for(lock, std::chrono::seconds(30), [&] { return g_arrivals.count >= n; });
  if (at) *at = g_arrivals.last;
  return ok;
}

double percentile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

// Round trips of a line-sized message between two loopback sockets, the
// echo side on its own thread.
std::vector<double> raw_ping_pong(int rounds, size_t bytes) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  listen(listener, 1);
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  const int server = accept(listener, nullptr, nullptr);
  int one = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  auto read_all = [](int fd, char* buf, size_t n) {
    size_t got = 0;
    while (got < n) {
      const ssize_t r = read(fd, buf + got, n - got);
      if (r <= 0) return false;
      got += size_t(r);
    }
    return true;
  };
  std::thread echo([&] {
    std::vector<char> buf(bytes);
    while (read_all(server, buf.data(), bytes))
      if (write(server, buf.data(), bytes) != ssize_t(bytes)) break;
  });
  std::vector<char> msg(bytes, 'x'), back(bytes);
  std::vector<double> us;
  for (int i = 0; i < rounds; ++i) {
    const long long t0 = now_ns();
    if (write(client, msg.data(), bytes) != ssize_t(bytes) || !read_all(client, back.data(), bytes))
      break;
    us.push_back(double(now_ns() - t0) / 1000.0);
  }
  shutdown(client, SHUT_RDWR);
  close(client);
  echo.join();
  close(server);
  close(listener);
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 10000;
  long flood = 20000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--lines")) lines = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--flood")) flood = std::atol(argv[i + 1]);
  }
  tavrin::test::TestServer server;
  if (!server.running()) return std::fprintf(stderr, "server did not start\n"), 1;
  if (fx_init() != 1) return 1;
  fx_set_serve_address(server.sipcAddress().c_str());
  if (fs_login("100000002", "bob123") != 1) return std::fprintf(stderr, "Bob: login failed\n"), 1;
  fx_set_system_msg_cb(on_message, nullptr);

  tavrin::test::PeerProcess alice(TAVRIN_IM_PEER_BIN);
  if (alice.command("login 100000001 alice123 " + server.sipcAddress()) != "ok 1")
    return std::fprintf(stderr, "Alice: login failed\n"), 1;
  alice.command("quiet");
  // Opens the dialog (the first line waits for the invitation's answer).
  alice.command("send 100000002 hello");
  if (!wait_count(1)) return std::fprintf(stderr, "no first line\n"), 1;
  while (fx_msg* m = fx_get_msg(kAlice)) fx_destroy_msg(m);

  // 1. Latency.
  const std::string text(100, 'x');
  std::vector<double> chat_us;
  chat_us.reserve(size_t(lines));
  for (int i = 0; i < lines; ++i) {
    const std::string reply = alice.command("sendt 100000002 " + text);
    long long sent = 0;
    int ok = 0;
    if (std::sscanf(reply.c_str(), "ok %d %lld", &ok, &sent) != 2 || ok != 1)
      return std::fprintf(stderr, "send refused: %s\n", reply.c_str()), 1;
    long long at = 0;
    if (!wait_count(2 + i, &at)) return std::fprintf(stderr, "line %d lost\n", i), 1;
    chat_us.push_back(double(at - sent) / 1000.0);
    if (fx_msg* m = fx_get_msg(kAlice)) fx_destroy_msg(m);
  }
  const std::vector<double> raw_us = raw_ping_pong(lines, text.size() + 150);
  const double cm = percentile(chat_us, 0.5), c99 = percentile(chat_us, 0.99);
  const double rm = percentile(raw_us, 0.5), r99 = percentile(raw_us, 0.99);
  std::printf("chat line fx_dialog_send -> 16: median %.1f us, p99 %.1f us (%d lines)\n", cm, c99,
              lines);
  std::printf("raw TCP ping-pong (loopback):   median %.1f us, p99 %.1f us (%zu round trips)\n", rm,
              r99, raw_us.size());
  std::printf("ratio: median %.2fx (goal 2x), p99 %.2fx (goal 3x)\n", cm / rm, c99 / r99);

  // 2. Receiving without loss.
  long base = 0;
  {
    std::lock_guard lock(g_arrivals.mu);
    base = g_arrivals.count;
  }
  const auto t0 = Clock::now();
  if (alice.command("flood 100000002 " + std::to_string(flood), std::chrono::seconds(300)) !=
      "ok " + std::to_string(flood))
    return std::fprintf(stderr, "flood failed\n"), 1;
  long long last = 0;
  const bool all = wait_count(base + flood, &last);
  long first_index = -1, queued = 0;
  bool in_order = true;
  while (fx_msg* m = fx_get_msg(kAlice)) {
    const long n = std::atol(m->text + 1);
    if (m->text[0] != 'F' || n != first_index + 1) in_order = false;
    first_index = n;
    ++queued;
    fx_destroy_msg(m);
  }
  const double secs =
      double(last -
             std::chrono::duration_cast<std::chrono::nanoseconds>(t0.time_since_epoch()).count()) /
      1e9;
  std::printf("received and queued: %ld of %ld lines in %.2f s = %.0f lines/s; %s\n", queued, flood,
              secs, double(queued) / secs,
              all && in_order && queued == flood ? "none lost, in order" : "LOST OR REORDERED");
  fx_set_system_msg_cb(nullptr, nullptr);
  fx_terminate();
  return 0;
}
