#include "http_get.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "gateway_wire.h"
#include "sipc_message.h"

namespace tavrin::server {

namespace {
constexpr size_t kMaxAnswer = 64 * 1024;
}

HttpAnswer readHttpAnswer(std::string_view raw, bool atEnd) {
  HttpAnswer a;
  const size_t headEnd = raw.find("\r\n\r\n");
  if (headEnd == std::string_view::npos) return a;
  const auto status = httpStatus(raw);
  if (!status) {
    a.complete = true;  // an answer that is no HTTP answer: a failed exchange
    return a;
  }
  const std::string_view head = raw.substr(0, headEnd);
  std::string_view body = raw.substr(headEnd + 4);
  long length = -1;
  bool close = raw.substr(0, 8) != "HTTP/1.1";
  for (size_t pos = head.find("\r\n"); pos != std::string_view::npos;) {
    const size_t end = head.find("\r\n", pos + 2);
    const std::string_view line = head.substr(pos + 2, end == std::string_view::npos
                                                           ? std::string_view::npos
                                                           : end - pos - 2);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos && equalsNoCase(line.substr(0, colon), "Content-Length") &&
        (!parseLong(line.substr(colon + 1), length) || length < 0))
      length = -1;
    if (colon != std::string_view::npos && equalsNoCase(line.substr(0, colon), "Connection")) {
      std::string_view v = line.substr(colon + 1);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      close = equalsNoCase(v, "close");
    }
    pos = end;
  }
  if (length >= 0 && body.size() >= size_t(length)) {
    body = body.substr(0, size_t(length));
  } else if (!atEnd) {
    return a;
  }
  a.status = *status;
  a.body = std::string(body);
  a.complete = true;
  a.keepAlive = !close && length >= 0 && !atEnd && raw.size() == headEnd + 4 + size_t(length);
  return a;
}

HttpGet::HttpGet(EventLoop& loop, std::string host, int port, const std::string& target, Done done,
                 int reuseFd)
    : loop_(loop),
      host_(std::move(host)),
      port_(port),
      done_(std::move(done)),
      fd_(reuseFd),
      reused_(reuseFd >= 0),
      started_(std::chrono::steady_clock::now()) {
  out_ = "GET " + target + " HTTP/1.1\r\nHost: " + host_ + ":" + std::to_string(port_) + "\r\n\r\n";
}

HttpGet::~HttpGet() {
  if (fd_ >= 0) {
    loop_.remove(fd_);
    ::close(fd_);
  }
}

bool HttpGet::start() {
  if (reused_) {
    if (loop_.add(fd_, EPOLLOUT | EPOLLIN | EPOLLRDHUP, this)) return true;
    finish(kStale, {});
    return false;
  }
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port_));
  if (fd_ < 0 || inet_pton(AF_INET, host_.c_str(), &sa.sin_addr) != 1 ||
      (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 && errno != EINPROGRESS) ||
      !loop_.add(fd_, EPOLLOUT | EPOLLIN | EPOLLRDHUP, this)) {
    finish(-1, {});
    return false;
  }
  return true;
}

void HttpGet::cancel() {
  finish(-1, {});
}

void HttpGet::finish(int status, const std::string& body, bool keep) {
  if (finished_) return;
  finished_ = true;
  int kept = -1;
  if (fd_ >= 0) {
    loop_.remove(fd_);
    if (keep)
      kept = fd_;
    else
      ::close(fd_);
    fd_ = -1;
  }
  // A kept-alive connection the peer had closed fails before any answer.
  if (status == -1 && reused_ && in_.empty()) status = kStale;
  Done done = std::move(done_);
  done(status, body, kept);
}

void HttpGet::onEvents(uint32_t events) {
  if (finished_) return;
  if (written_ < out_.size()) {
    if (events & EPOLLOUT) {
      int err = 0;
      socklen_t len = sizeof err;
      if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)
        return finish(-1, {});
      while (written_ < out_.size()) {
        const ssize_t n = ::send(fd_, out_.data() + written_, out_.size() - written_, MSG_NOSIGNAL);
        if (n > 0) {
          written_ += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
          return;
        } else {
          return finish(-1, {});
        }
      }
      loop_.modify(fd_, EPOLLIN | EPOLLRDHUP, this);
    } else if (events & (EPOLLERR | EPOLLHUP)) {
      return finish(-1, {});
    }
    if (!(events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP))) return;
  }
  char buf[8192];
  for (;;) {
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n > 0) {
      in_.append(buf, size_t(n));
      if (in_.size() > kMaxAnswer) return finish(-1, {});
      const HttpAnswer a = readHttpAnswer(in_, false);
      if (a.complete) return finish(a.status, a.body, a.keepAlive);
    } else if (n == 0) {
      const HttpAnswer a = readHttpAnswer(in_, true);
      return finish(a.complete ? a.status : -1, a.body);
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN) {
      if (events & (EPOLLERR | EPOLLHUP)) return finish(-1, {});
      return;
    } else {
      return finish(-1, {});
    }
  }
}

}  // namespace tavrin::server
