#include "sipc/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tavrin {

namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? int(left) : 0;
}

// One poll for the events, retried on EINTR; true when they are ready.
bool wait_for(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, ms_left(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

bool resolve(const std::string& host, int port, sockaddr_in* out) {
  std::memset(out, 0, sizeof *out);
  out->sin_family = AF_INET;
  out->sin_port = htons(uint16_t(port));
  if (inet_pton(AF_INET, host.c_str(), &out->sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  out->sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace

int tcp_connect(const std::string& host, int port, int limit_ms) {
  if (host.empty() || port <= 0 || port > 65535) return -1;
  sockaddr_in addr;
  if (!resolve(host, port, &addr)) return -1;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // Requests are small and each is written whole; Nagle would hold one back
  // until the previous one is acknowledged (a delayed ACK: up to 40 ms).
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    if (err != EINPROGRESS && err != EINTR) {
      ::close(fd);
      return -1;
    }
    socklen_t len = sizeof err;
    if (!wait_for(fd, POLLOUT, deadline) || getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 ||
        err != 0) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

bool send_all(int fd, std::string_view bytes, int limit_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait_for(fd, POLLOUT, deadline))
      continue;
    return false;
  }
  return true;
}

size_t wait_read(int fd, char* buf, size_t cap, int limit_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  for (;;) {
    if (!wait_for(fd, POLLIN, deadline)) return 0;
    const ssize_t n = ::recv(fd, buf, cap, 0);
    if (n > 0) return size_t(n);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    return 0;
  }
}

bool read_exact(int fd, char* buf, size_t n, int limit_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  size_t got = 0;
  while (got < n) {
    const int left = ms_left(deadline);
    if (left <= 0) return false;
    const size_t r = wait_read(fd, buf + got, n - got, left);
    if (r == 0) return false;
    got += r;
  }
  return true;
}

}  // namespace tavrin
