#include "bare_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace bench {

namespace {

struct Conn {
  int fd = -1;
  int index = -1;
  std::string pendingIndex;  // bytes of the 4-byte index still arriving
  std::string out;           // bytes the socket refused
};

void sendAll(Conn& c, const char* data, size_t n, int ep) {
  if (c.out.empty()) {
    ssize_t w = ::send(c.fd, data, n, MSG_NOSIGNAL);
    if (w < 0) w = 0;
    data += w;
    n -= size_t(w);
    if (n == 0) return;
  }
  c.out.append(data, n);
  epoll_event ev{EPOLLIN | EPOLLOUT, {}};
  ev.data.fd = c.fd;
  epoll_ctl(ep, EPOLL_CTL_MOD, c.fd, &ev);
}

}  // namespace

void runBareRelay(int portFd) {
  int lfd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  int one = 1;
  setsockopt(lfd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(lfd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  listen(lfd, 4096);
  socklen_t len = sizeof sa;
  getsockname(lfd, reinterpret_cast<sockaddr*>(&sa), &len);
  int port = ntohs(sa.sin_port);
  (void)!write(portFd, &port, sizeof port);
  close(portFd);

  int ep = epoll_create1(0);
  epoll_event ev{EPOLLIN, {}};
  ev.data.fd = lfd;
  epoll_ctl(ep, EPOLL_CTL_ADD, lfd, &ev);
  std::unordered_map<int, Conn> byFd;
  std::unordered_map<int, int> fdByIndex;
  std::vector<epoll_event> events(512);
  static char buf[65536];
  for (;;) {
    int n = epoll_wait(ep, events.data(), int(events.size()), -1);
    for (int i = 0; i < n; ++i) {
      int fd = events[i].data.fd;
      if (fd == lfd) {
        int c;
        while ((c = accept4(lfd, nullptr, nullptr, SOCK_NONBLOCK)) >= 0) {
          setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
          byFd[c].fd = c;
          epoll_event e{EPOLLIN, {}};
          e.data.fd = c;
          epoll_ctl(ep, EPOLL_CTL_ADD, c, &e);
        }
        continue;
      }
      Conn& c = byFd[fd];
      if (events[i].events & EPOLLOUT) {
        ssize_t w = ::send(fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (w > 0) c.out.erase(0, size_t(w));
        if (c.out.empty()) {
          epoll_event e{EPOLLIN, {}};
          e.data.fd = fd;
          epoll_ctl(ep, EPOLL_CTL_MOD, fd, &e);
        }
      }
      if (!(events[i].events & EPOLLIN)) continue;
      ssize_t r = recv(fd, buf, sizeof buf, 0);
      if (r <= 0) {
        if (r < 0 && errno == EAGAIN) continue;
        close(fd);
        byFd.erase(fd);
        continue;
      }
      size_t off = 0;
      if (c.index < 0) {
        size_t take = std::min<size_t>(4 - c.pendingIndex.size(), size_t(r));
        c.pendingIndex.append(buf, take);
        off = take;
        if (c.pendingIndex.size() == 4) {
          int32_t idx;
          std::memcpy(&idx, c.pendingIndex.data(), 4);
          c.index = idx;
          fdByIndex[idx] = fd;
        }
      }
      if (off == size_t(r) || c.index < 0) continue;
      auto peer = fdByIndex.find(c.index ^ 1);
      if (peer == fdByIndex.end()) continue;
      sendAll(byFd[peer->second], buf + off, size_t(r) - off, ep);
    }
  }
}

}  // namespace bench
