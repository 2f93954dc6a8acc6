#include "listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "log.h"

namespace tavrin::server {

Listener::Listener(EventLoop& loop, AcceptFn onAccept)
    : loop_(loop),
      onAccept_(std::move(onAccept)),
      spare_(::open("/dev/null", O_RDONLY | O_CLOEXEC)) {}

Listener::~Listener() {
  if (spare_ >= 0) ::close(spare_);
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
      if ((errno == EMFILE || errno == ENFILE) && spare_ >= 0) {
        // Out of descriptors: accept with the spare one and close at once, so
        // the waiting client is told and the loop does not spin on it.
        ::close(spare_);
        int fd2 = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd2 >= 0) ::close(fd2);
        spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        logAt(0, "accept: out of file descriptors, refusing a connection");
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) logAt(0, "accept: %s", std::strerror(errno));
      return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    onAccept_(fd);
  }
}

}  // namespace tavrin::server
