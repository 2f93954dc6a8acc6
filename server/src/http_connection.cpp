#include "http_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "http_endpoint.h"
#include "log.h"
#include "sipc_message.h"

namespace tavrin::server {

namespace {
constexpr size_t kMaxHead = 16 * 1024;
constexpr size_t kMaxBody = 64 * 1024;
}  // namespace

HttpParse parseHttpRequest(std::string_view in, HttpRequest& req) {
  size_t headEnd = in.find("\r\n\r\n");
  if (headEnd == std::string_view::npos)
    return in.size() > kMaxHead ? HttpParse::kBad : HttpParse::kNeedMore;
  if (headEnd > kMaxHead) return HttpParse::kBad;
  std::string_view head = in.substr(0, headEnd);
  size_t eol = head.find("\r\n");
  std::string_view start = head.substr(0, eol);
  size_t sp1 = start.find(' ');
  size_t sp2 = sp1 == std::string_view::npos ? sp1 : start.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos || start.substr(sp2 + 1, 5) != "HTTP/") return HttpParse::kBad;
  req.method.assign(start.substr(0, sp1));
  req.target.assign(start.substr(sp1 + 1, sp2 - sp1 - 1));
  long length = 0;
  bool haveLength = false;
  size_t pos = eol == std::string_view::npos ? head.size() : eol + 2;
  while (pos < head.size()) {
    size_t end = head.find("\r\n", pos);
    if (end == std::string_view::npos) end = head.size();
    std::string_view line = head.substr(pos, end - pos);
    pos = end + 2;
    size_t colon = line.find(':');
    // A field name with blanks ("Content-Length :"), a folded line or a line
    // without a colon reads differently to different parsers: a proxy in
    // front could see another request than this one. Refused, as is any
    // Transfer-Encoding (only Content-Length bodies are read here).
    const std::string_view name = line.substr(0, colon);
    if (colon == std::string_view::npos || colon == 0 ||
        name.find_first_of(" \t") != std::string_view::npos ||
        equalsNoCase(name, "Transfer-Encoding"))
      return HttpParse::kBad;
    if (equalsNoCase(name, "Content-Length")) {
      // A second length leaves the body's end ambiguous (a proxy in front
      // may take the other one): refused, as the SIP-C side refuses two "L".
      if (haveLength || !parseLong(line.substr(colon + 1), length) || length < 0 ||
          size_t(length) > kMaxBody)
        return HttpParse::kBad;
      haveLength = true;
    }
  }
  if (in.size() < headEnd + 4 + size_t(length)) return HttpParse::kNeedMore;
  req.body.assign(in.substr(headEnd + 4, size_t(length)));
  return HttpParse::kDone;
}

HttpConnection::HttpConnection(EventLoop& loop, HttpEndpoint& owner, int fd, SSL* ssl, uint64_t id)
    : loop_(loop),
      owner_(owner),
      fd_(fd),
      ssl_(ssl),
      id_(id),
      handshakeDone_(ssl == nullptr),
      started_(std::chrono::steady_clock::now()) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len) == 0 && sa.sin_family == AF_INET)
    peer_ = ntohl(sa.sin_addr.s_addr);
  loop_.add(fd_, EPOLLIN | EPOLLRDHUP, this);
}

HttpConnection::~HttpConnection() {
  if (ssl_) SSL_free(ssl_);
  if (fd_ >= 0) ::close(fd_);
}

void HttpConnection::close() {
  if (closed_) return;
  closed_ = true;
  loop_.remove(fd_);
  // The descriptor goes now, not after the batch: a listener out of
  // descriptors may be waiting for it.
  ::close(fd_);
  fd_ = -1;
  owner_.closed(*this);
}

void HttpConnection::onEvents(uint32_t events) {
  if (closed_) return;
  if (!handshakeDone_) {
    int rc = SSL_accept(ssl_);
    if (rc == 1) {
      handshakeDone_ = true;
    } else {
      int err = SSL_get_error(ssl_, rc);
      if (err == SSL_ERROR_WANT_READ) {
        loop_.modify(fd_, EPOLLIN | EPOLLRDHUP, this);
        return;
      }
      if (err == SSL_ERROR_WANT_WRITE) {
        loop_.modify(fd_, EPOLLOUT, this);
        return;
      }
      logAt(1, "https %llu: handshake failed", (unsigned long long)id_);
      return close();
    }
  }
  if (writing_) return writeSome();
  readSome();
}

void HttpConnection::readSome() {
  char buf[8192];
  for (;;) {
    int n;
    if (ssl_) {
      n = SSL_read(ssl_, buf, sizeof buf);
      if (n <= 0) {
        int err = SSL_get_error(ssl_, n);
        if (err == SSL_ERROR_WANT_READ) return;
        if (err == SSL_ERROR_WANT_WRITE) {
          loop_.modify(fd_, EPOLLOUT | EPOLLIN, this);
          return;
        }
        return close();
      }
    } else {
      ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
      if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return close();
      n = int(r);
    }
    in_.append(buf, size_t(n));
    if (parse()) return;
    if (closed_) return;
  }
}

std::string loggableTarget(std::string_view target) {
  const size_t q = target.find('?');
  if (q == std::string_view::npos) return std::string(target);
  std::string out(target.substr(0, q + 1));
  std::string_view query = target.substr(q + 1);
  bool first = true;
  while (true) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t eq = pair.find('=');
    std::string name(pair.substr(0, eq));
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (!first) out += '&';
    first = false;
    if (eq != std::string_view::npos && (name == "pwd" || name == "password"))
      out.append(pair.substr(0, eq + 1)).append("***");
    else
      out.append(pair);
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return out;
}

bool HttpConnection::parse() {
  HttpRequest req;
  switch (parseHttpRequest(in_, req)) {
    case HttpParse::kNeedMore:
      return false;
    case HttpParse::kBad:
      respond({400, "Bad Request", "text/plain", "bad request\n"});
      return true;
    case HttpParse::kDone:
      break;
  }
  req.peer = peer_;
  if (gVerbosity >= 2)
    logAt(2, "http %llu: %s %s", (unsigned long long)id_, req.method.c_str(),
          loggableTarget(req.target).c_str());
  respond(owner_.handle(req));
  return true;
}

void HttpConnection::respond(const HttpReply& r) {
  out_ = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason +
         "\r\nContent-Type: " + r.contentType +
         "\r\nContent-Length: " + std::to_string(r.body.size()) + "\r\nConnection: close\r\n\r\n" +
         r.body;
  writing_ = true;
  in_.clear();
  writeSome();
}

void HttpConnection::writeSome() {
  while (outOffset_ < out_.size()) {
    int n;
    if (ssl_) {
      n = SSL_write(ssl_, out_.data() + outOffset_, int(out_.size() - outOffset_));
      if (n <= 0) {
        int err = SSL_get_error(ssl_, n);
        if (err == SSL_ERROR_WANT_WRITE || err == SSL_ERROR_WANT_READ) {
          loop_.modify(fd_, err == SSL_ERROR_WANT_WRITE ? EPOLLOUT : EPOLLIN, this);
          return;
        }
        return close();
      }
    } else {
      ssize_t w = ::send(fd_, out_.data() + outOffset_, out_.size() - outOffset_, MSG_NOSIGNAL);
      if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        loop_.modify(fd_, EPOLLOUT, this);
        return;
      }
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return close();
      n = int(w);
    }
    outOffset_ += size_t(n);
  }
  if (ssl_) SSL_shutdown(ssl_);
  ::shutdown(fd_, SHUT_WR);
  close();
}

}  // namespace tavrin::server
