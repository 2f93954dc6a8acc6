// Logins during an idle flood against tavrin-server held to 1024
// descriptors: connections that connect and say nothing, opened at a steady
// rate from a few loopback addresses, while real logins come from another
// over a slow network.
//
//   bench_idle_flood [--rate 2000] [--addresses 8] [--logins 25]
//                    [--latency-ms 100] [--limit 1024]
//
// The server runs on loopback with its descriptor limit set to --limit
// (soft and hard). After one second of flood, --logins logins start 100 ms
// apart from 127.0.0.1, each waiting --latency-ms before every send (half
// a round trip). Printed: how many got in, the slowest and median login
// time, the flood's connections. Bounded: the whole run is cut at 120 s.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server_child.h"
#include "sipc_client.h"

using namespace tavrin::test;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  int rate = 2000, addresses = 8, logins = 25, latencyMs = 100;
  rlim_t limit = 1024;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--rate") rate = std::max(1, std::atoi(argv[i + 1]));
    if (a == "--addresses") addresses = std::max(1, std::atoi(argv[i + 1]));
    if (a == "--logins") logins = std::clamp(std::atoi(argv[i + 1]), 1, 1000);
    if (a == "--latency-ms") latencyMs = std::max(0, std::atoi(argv[i + 1]));
    if (a == "--limit") limit = rlim_t(std::atol(argv[i + 1]));
  }
  rlimit own{};
  getrlimit(RLIMIT_NOFILE, &own);
  own.rlim_cur = own.rlim_max;
  setrlimit(RLIMIT_NOFILE, &own);
  signal(SIGPIPE, SIG_IGN);
  alarm(120);

  ServerChild child;
  ServerChild::Options how;
  how.stderr_path = "/dev/null";
  how.max_descriptors = long(limit);
  child.start({TAVRIN_SERVER_BIN, "--memory", "--no-signin", "--demo", "--nav-port", "0",
               "--sipc-port", "0", "--data", "bench-unused", "--bench-accounts",
               std::to_string(logins)},
              how);
  const int port = child.sipc();
  if (child.pid() <= 0 || port == 0) {
    std::fprintf(stderr, "cannot start %s\n", TAVRIN_SERVER_BIN);
    return 1;
  }
  double load[3] = {};
  getloadavg(load, 3);
  std::printf("server descriptor limit %lu; flood %d/s from %d addresses; %d logins, %d ms each way\n",
              (unsigned long)limit, rate, addresses, logins, latencyMs);
  std::printf("load average at the start %.2f %.2f %.2f (a shared machine: figures indicative)\n",
              load[0], load[1], load[2]);

  std::atomic<bool> stop{false};
  std::atomic<long> opened{0};
  std::thread flood([&] {
    std::deque<int> open;
    const size_t keep = std::min<size_t>(size_t(own.rlim_cur) / 2, 20000);
    const auto step = std::chrono::microseconds(1000000 / rate);
    auto next = Clock::now();
    for (long i = 0; !stop; ++i) {
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (fd >= 0) {
        sockaddr_in from{}, to{};
        from.sin_family = to.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7f000002 + uint32_t(i % addresses));
        to.sin_port = htons(uint16_t(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
            (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ||
             errno == EINPROGRESS)) {
          open.push_back(fd);
          ++opened;
        } else {
          close(fd);
        }
      }
      while (open.size() > keep) {
        close(open.front());
        open.pop_front();
      }
      next += step;
      std::this_thread::sleep_until(next);
    }
    for (int fd : open) close(fd);
  });
  std::this_thread::sleep_for(std::chrono::seconds(1));

  std::mutex mu;
  std::vector<double> took;  // seconds, of the logins that got in
  std::vector<std::thread> users;
  const auto started = Clock::now();
  for (int i = 0; i < logins; ++i) {
    users.emplace_back([&, i] {
      const auto t0 = Clock::now();
      SipcClient c(port);
      c.setLatency(std::chrono::milliseconds(latencyMs));
      if (c.login(std::to_string(200000001 + i), "bench") == 200) {
        std::lock_guard lock(mu);
        took.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (auto& u : users) u.join();
  const double span = std::chrono::duration<double>(Clock::now() - started).count();
  stop = true;
  flood.join();

  std::sort(took.begin(), took.end());
  std::printf("logins through: %zu of %d in %.1f s\n", took.size(), logins, span);
  if (!took.empty())
    std::printf("login time: median %.0f ms, slowest %.0f ms\n", took[took.size() / 2] * 1000,
                took.back() * 1000);
  std::printf("flood connections opened: %ld\n", opened.load());
  getloadavg(load, 3);
  std::printf("load average at the end %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  return 0;
}
