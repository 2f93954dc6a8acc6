#include "listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "log.h"

namespace tavrin::server {

Listener::~Listener() {
  if (fd_ >= 0) {
    loop_.remove(fd_);
    close(fd_);
  }
}

std::string Listener::open(const std::string& address, int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) return "bad address " + address;
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return std::string("socket: ") + std::strerror(errno);
  int one = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
    return "bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
  if (listen(fd_, 4096) != 0) return std::string("listen: ") + std::strerror(errno);
  socklen_t len = sizeof sa;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  if (!loop_.add(fd_, EPOLLIN, this)) return "epoll add failed";
  return {};
}

void Listener::onEvents(uint32_t) {
  for (;;) {
    int fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) logAt(0, "accept: %s", std::strerror(errno));
      return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    onAccept_(fd);
  }
}

}  // namespace tavrin::server
