#include "doctor/connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tavrin::cli::doctor {

namespace {

int ms_left(Deadline d) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(d.at - Clock::now());
  return left.count() > 0 ? int(left.count()) : 0;
}

// One poll, retried on EINTR: 1 ready, 0 time-out, -1 error.
int wait_for(int fd, short events, Deadline d) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, ms_left(d));
    if (r >= 0) return r > 0 ? 1 : 0;
    if (errno != EINTR) return -1;
  }
}

std::string errno_text(int err) {
  switch (err) {
    case ECONNREFUSED:
      return "connection refused (nothing listens there)";
    case ECONNRESET:
      return "connection reset by the peer";
    default:
      return std::strerror(err);
  }
}

}  // namespace

std::string Deadline::no_answer() const {
  const auto ms = limit.count();
  return "no answer within " +
         (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
}

std::optional<in_addr> resolve_ipv4(const std::string& host, std::string* why) {
  in_addr address{};
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return address;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    *why = std::string("cannot resolve ") + host + ": " +
           (rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc));
    return std::nullopt;
  }
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return address;
}

std::string dotted(in_addr address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

Connection::~Connection() {
  if (fd_ >= 0) ::close(fd_);
}

Connection::Connection(Connection&& other) noexcept {
  *this = std::move(other);
}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    received_ = std::move(other.received_);
    error_ = std::move(other.error_);
  }
  return *this;
}

Connection Connection::open_to(in_addr address, int port, Deadline deadline, std::string* why) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr = address;
  to.sin_port = htons(uint16_t(port));
  Connection c(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!c.open()) {
    *why = errno_text(errno);
    return c;
  }
  const int one = 1;
  setsockopt(c.fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(c.fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) return c;
  int err = errno;
  if (err == EINPROGRESS || err == EINTR) {
    const int ready = wait_for(c.fd_, POLLOUT, deadline);
    socklen_t len = sizeof err;
    if (ready == 0) {
      *why = deadline.no_answer();
      return Connection();
    }
    if (ready > 0 && getsockopt(c.fd_, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) return c;
    if (ready < 0) err = errno;
  }
  *why = errno_text(err);
  return Connection();
}

bool Connection::send_all(std::string_view bytes, Deadline deadline, std::string* why) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (wait_for(fd_, POLLOUT, deadline) > 0) continue;
      *why = "cannot send: " + deadline.no_answer();
      return false;
    }
    *why = "cannot send: " + errno_text(n < 0 ? errno : EPIPE);
    return false;
  }
  return true;
}

Connection::Got Connection::receive(Deadline deadline) {
  for (;;) {
    const int ready = wait_for(fd_, POLLIN, deadline);
    if (ready == 0) return Got::kTimeout;
    char piece[4096];
    const ssize_t n = ready > 0 ? ::recv(fd_, piece, sizeof piece, 0) : -1;
    if (n > 0) {
      received_.append(piece, size_t(n));
      return Got::kData;
    }
    if (n == 0) return Got::kClosed;
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    error_ = errno_text(errno);
    return Got::kError;
  }
}

bool Connection::receive_until(const std::function<bool(const std::string&)>& done,
                               Deadline deadline, std::string_view who, std::string* why) {
  while (!done(received_)) {
    switch (receive(deadline)) {
      case Got::kData:
        break;
      case Got::kClosed:
        *why = std::string(who) + " closed the connection" +
               (received_.empty() ? " without an answer" : " in the middle of its answer");
        return false;
      case Got::kTimeout:
        *why = deadline.no_answer() + " from " + std::string(who);
        return false;
      case Got::kError:
        *why = error_;
        return false;
    }
  }
  return true;
}

}  // namespace tavrin::cli::doctor
