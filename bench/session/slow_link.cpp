// bench_slow_link: a slow link between two loopback ports, for timing a
// login over it where the kernel has no netem. Every connection accepted on
// the listening port is joined to a new connection to the target port; the
// bytes of each direction leave at the link's rate, one after another, and
// arrive half a round trip after they left.
//
//   bench_slow_link TARGET_PORT [RTT_MS [KBIT_PER_S]]   (default 100 ms, 2000)
//
// Prints "listening PORT" once ready; runs until killed. Loopback only.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
  Clock::time_point due;
  std::string bytes;
};

// One direction of one connection: what was read from `from` waits until
// it is due, then is written to `to`.
struct Direction {
  int from = -1, to = -1;
  std::deque<Chunk> waiting;
  Clock::time_point link_free{};  // when the link has sent what it was given
  std::string unsent;             // due bytes the socket did not take yet
  bool closed = false;
};

struct Pair {
  Direction up, down;  // client to target, target to client
};

int listen_loopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0)
    return -1;
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  *port = ntohs(a.sin_port);
  return fd;
}

int connect_loopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void nodelay_nonblocking(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_slow_link TARGET_PORT [RTT_MS [KBIT_PER_S]]\n");
    return 1;
  }
  const int target = std::atoi(argv[1]);
  const auto one_way = std::chrono::microseconds((argc > 2 ? std::atol(argv[2]) : 100) * 500);
  const double bytes_per_us = (argc > 3 ? std::atof(argv[3]) : 2000.0) * 1000.0 / 8.0 / 1e6;
  int port = 0;
  const int listener = listen_loopback(&port);
  if (listener < 0) return 1;
  std::printf("listening %d\n", port);
  std::fflush(stdout);

  std::vector<std::unique_ptr<Pair>> pairs;
  std::vector<char> buf(65536);
  for (;;) {
    // Poll the listener and every open socket; sleep no longer than the
    // next chunk's due time.
    std::vector<pollfd> fds{{listener, POLLIN, 0}};
    std::vector<Direction*> owners{nullptr};
    auto now = Clock::now();
    auto wake = now + std::chrono::seconds(1);
    for (auto& p : pairs)
      for (Direction* d : {&p->up, &p->down}) {
        if (!d->closed) {
          fds.push_back({d->from, POLLIN, 0});
          owners.push_back(d);
        }
        if (!d->waiting.empty()) wake = std::min(wake, d->waiting.front().due);
        if (!d->unsent.empty()) {
          fds.push_back({d->to, POLLOUT, 0});
          owners.push_back(nullptr);
        }
      }
    const auto wait_ms = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
    ::poll(fds.data(), fds.size(), int(std::max<long>(0, wait_ms)));
    now = Clock::now();

    if (fds[0].revents & POLLIN) {
      const int client = ::accept(listener, nullptr, nullptr);
      const int server = client >= 0 ? connect_loopback(target) : -1;
      if (server >= 0) {
        nodelay_nonblocking(client);
        nodelay_nonblocking(server);
        auto p = std::make_unique<Pair>();
        p->up.from = p->down.to = client;
        p->up.to = p->down.from = server;
        pairs.push_back(std::move(p));
      } else if (client >= 0) {
        ::close(client);
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      Direction* d = owners[i];
      if (!d || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::recv(d->from, buf.data(), buf.size(), 0);
      if (n <= 0) {
        d->closed = true;
        continue;
      }
      // The link sends these bytes once it has sent the earlier ones.
      const auto start = std::max(now, d->link_free);
      d->link_free = start + std::chrono::microseconds(long(double(n) / bytes_per_us));
      d->waiting.push_back({d->link_free + one_way, std::string(buf.data(), size_t(n))});
    }
    for (auto& p : pairs)
      for (Direction* d : {&p->up, &p->down}) {
        while (!d->waiting.empty() && d->waiting.front().due <= now) {
          d->unsent += d->waiting.front().bytes;
          d->waiting.pop_front();
        }
        if (d->unsent.empty()) continue;
        const ssize_t n = ::send(d->to, d->unsent.data(), d->unsent.size(), MSG_NOSIGNAL);
        if (n > 0) d->unsent.erase(0, size_t(n));
      }
    // A pair ends when both sides closed and nothing is left to deliver.
    pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                               [](const std::unique_ptr<Pair>& p) {
                                 const bool done = (p->up.closed || p->down.closed) &&
                                                   p->up.waiting.empty() &&
                                                   p->down.waiting.empty() &&
                                                   p->up.unsent.empty() && p->down.unsent.empty();
                                 if (done) {
                                   ::close(p->up.from);
                                   ::close(p->up.to);
                                 }
                                 return done;
                               }),
                pairs.end());
  }
}
