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

namespace {
constexpr auto kPause = std::chrono::milliseconds(100);

int openSpare() {
  return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}
}  // namespace

Listener::Listener(EventLoop& loop, AcceptFn onAccept, ReliefFn relief)
    : loop_(loop),
      onAccept_(std::move(onAccept)),
      relief_(std::move(relief)),
      spare_(openSpare()) {}

Listener::~Listener() {
  if (spare_ >= 0) ::close(spare_);
  if (fd_ >= 0) {
    if (!paused_) loop_.remove(fd_);
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
  if (paused_) return;
  for (int round = 0; round < kAcceptsPerWake; ++round) {
    int fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE) {
        // The kernel reports this before it looks at the queue, so there may
        // be nobody waiting at all: every branch below ends or makes room.
        if (relief_ && relief_()) continue;
        if (!refuseOne()) return;
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        logAt(0, "accept: %s", std::strerror(errno));
        pause();
      }
      return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    onAccept_(fd);
  }
}

bool Listener::refuseOne() {
  if (spare_ < 0) spare_ = openSpare();
  if (spare_ < 0) {
    // Not even the reserve is left: stop listening until descriptors free up.
    pause();
    return false;
  }
  ::close(spare_);
  int fd = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  const bool refused = fd >= 0;
  if (refused) ::close(fd);  // the client is told at once instead of waiting
  spare_ = openSpare();
  if (refused) ++refusedSinceComplaint_;
  std::time_t now = std::time(nullptr);
  if (refusedSinceComplaint_ > 0 && now != lastComplaint_) {
    logAt(0, "accept: out of file descriptors, refused %ld connection(s)", refusedSinceComplaint_);
    refusedSinceComplaint_ = 0;
    lastComplaint_ = now;
  }
  if (spare_ < 0) pause();
  return refused && spare_ >= 0;
}

void Listener::pause() {
  if (paused_ || fd_ < 0) return;
  paused_ = true;
  loop_.remove(fd_);
  loop_.after(kPause, [this] { resume(); });
}

void Listener::resume() {
  if (spare_ < 0) spare_ = openSpare();
  paused_ = false;
  loop_.add(fd_, EPOLLIN, this);
}

}  // namespace tavrin::server
