#include "sipc/connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace tavrin {

Socket::~Socket() {
  ssl_.reset();  // before the descriptor goes: nothing of it may be reused meanwhile
  ::close(fd_);
}

ssize_t Socket::read(char* buf, size_t cap) {
  if (!ssl_) return ::recv(fd_, buf, cap, 0);
  std::lock_guard lock(ssl_mu_);
  ERR_clear_error();
  errno = 0;
  const int n = SSL_read(ssl_.get(), buf, int(std::min<size_t>(cap, INT_MAX)));
  if (n > 0) return n;
  const int err = SSL_get_error(ssl_.get(), n);
  if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
    errno = EAGAIN;
    return -1;
  }
  if (err == SSL_ERROR_ZERO_RETURN || (err == SSL_ERROR_SYSCALL && errno == 0)) return 0;
  if (err != SSL_ERROR_SYSCALL) errno = ECONNRESET;  // a record that does not decrypt
  return -1;
}

ssize_t Socket::write(const char* data, size_t len, bool may_wait) {
  if (!ssl_) return ::send(fd_, data, len, MSG_NOSIGNAL | (may_wait ? 0 : MSG_DONTWAIT));
  std::unique_lock lock(ssl_mu_, std::defer_lock);
  if (may_wait) {
    lock.lock();
  } else {
    pollfd p{fd_, POLLOUT, 0};
    if (!lock.try_lock() || ::poll(&p, 1, 0) != 1 || !(p.revents & POLLOUT)) {
      errno = EAGAIN;
      return -1;
    }
  }
  // A record half written must be finished with the same bytes before any
  // other: so the write completes here rather than coming back for more.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  size_t done = 0;
  while (done < len) {
    ERR_clear_error();
    errno = 0;
    const int n = SSL_write(ssl_.get(), data + done, int(std::min<size_t>(len - done, INT_MAX)));
    if (n > 0) {
      done += size_t(n);
      continue;
    }
    const int err = SSL_get_error(ssl_.get(), n);
    const short events = err == SSL_ERROR_WANT_WRITE ? POLLOUT
                         : err == SSL_ERROR_WANT_READ ? POLLIN
                                                      : 0;
    if (events == 0) {
      if (err != SSL_ERROR_SYSCALL || errno == 0) errno = ECONNRESET;
      return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{fd_, events, 0};
    if (left <= 0 || (::poll(&p, 1, int(left)) == 0)) {
      errno = ETIMEDOUT;
      return -1;
    }
  }
  return ssize_t(done);
}

bool Socket::has_pending() {
  if (!ssl_) return false;
  std::lock_guard lock(ssl_mu_);
  return SSL_has_pending(ssl_.get()) == 1;
}

std::string Socket::protocol() {
  if (!ssl_) return {};
  std::lock_guard lock(ssl_mu_);
  return SSL_get_version(ssl_.get());
}

std::shared_ptr<Socket> Connection::socket() {
  std::lock_guard lock(mu_);
  return socket_;
}

void Connection::adopt(std::shared_ptr<Socket> fresh) {
  const int fd = fresh->fd();
  sockaddr_in local{};
  socklen_t len = sizeof local;
  const bool named = getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) == 0;
  char text[INET_ADDRSTRLEN] = {};
  if (named) inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
  std::shared_ptr<Socket> old;
  {
    std::lock_guard lock(mu_);
    old = std::move(socket_);
    socket_ = std::move(fresh);
    if (named) {
      local_address_ = text;
      local_port_ = ntohs(local.sin_port);
    }
  }
  if (old) ::shutdown(old->fd(), SHUT_RDWR);
}

void Connection::close() {
  std::shared_ptr<Socket> old;
  {
    std::lock_guard lock(mu_);
    old = std::move(socket_);
  }
  if (old) ::shutdown(old->fd(), SHUT_RDWR);
}

std::string Connection::local_address() {
  std::lock_guard lock(mu_);
  return local_address_;
}

int Connection::local_port() {
  std::lock_guard lock(mu_);
  return local_port_;
}

Connection& connection() {
  static Connection* const instance = new Connection;
  return *instance;
}

}  // namespace tavrin
