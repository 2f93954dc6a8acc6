#include "load_clients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "session/digest.h"

namespace bench {

namespace {

constexpr const char* kDomain = "tavrin.local";

std::string uriOf(int index) {
  return "sip:" + std::to_string(200000001 + index) + "@tavrin.local;p=1";
}

std::string idOf(int index) {
  return std::to_string(200000001 + index);
}

std::string registration(const std::string& id, int seq, const std::string& a) {
  std::string body =
      "<args><device type=\"PC\" version=\"284571220\" client-version=\"3.3.0370\" /><caps "
      "value=\"simple-im;im-session;temp-group;personal-group\" /><events "
      "value=\"contact;permission;system-message;personal-group\" /><user-info "
      "attributes=\"all\" /><presence><basic value=\"400\" desc=\"\" /></presence></args>";
  std::string m =
      "R tavrin.local SIP-C/2.0\r\nF: " + id + "\r\nI: 1 \r\nQ: " + std::to_string(seq) + " R\r\n";
  if (!a.empty()) m += "A: " + a + "\r\n";
  return m + "L: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string headerValue(std::string_view head, std::string_view name) {
  std::string key = "\r\n" + std::string(name) + ": ";
  size_t at = head.find(key);
  if (at == std::string_view::npos) return {};
  size_t begin = at + key.size();
  size_t end = head.find("\r\n", begin);
  return std::string(
      head.substr(begin, end == std::string_view::npos ? head.size() - begin : end - begin));
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

struct LoadClients::Client {
  int fd = -1;
  SSL* ssl = nullptr;
  int index = 0;
  int state = 0;  // 0 challenged?, 1 answered, 2 subscribing, 3 ready
  std::string in;
  size_t inOffset = 0;
  std::string out;
  long received = 0;  // bytes, in bare mode
};

LoadClients::LoadClients(int count, int textBytes, int first, bool tls)
    : textBytes_(textBytes), first_(first) {
  ep_ = epoll_create1(0);
  if (tls) {
    tls_ = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_mode(tls_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  }
  std::string text(size_t(textBytes), 'x');
  for (int i = first; i < first + count; ++i) {
    auto* c = new Client;
    c->index = i;
    clients_.push_back(c);
    line_.push_back("M tavrin.local SIP-C/2.0\r\nF: " + idOf(i) +
                    "\r\nI: 100 \r\nQ: 2 M\r\nT: " + uriOf(i ^ 1) +
                    "\r\nC: text/plain\r\nK: SaveHistory\r\nL: " + std::to_string(text.size()) +
                    "\r\n\r\n" + text);
  }
}

LoadClients::~LoadClients() {
  for (Client* c : clients_) {
    if (c->ssl) SSL_free(c->ssl);
    if (c->fd >= 0) close(c->fd);
    delete c;
  }
  if (tls_) SSL_CTX_free(tls_);
  close(ep_);
}

ssize_t LoadClients::sendSome(Client& c, const char* data, size_t len) {
  if (!c.ssl) return ::send(c.fd, data, len, MSG_NOSIGNAL);
  const int n = SSL_write(c.ssl, data, int(len));
  if (n > 0) return n;
  const int err = SSL_get_error(c.ssl, n);
  errno = err == SSL_ERROR_WANT_WRITE || err == SSL_ERROR_WANT_READ ? EAGAIN : EPIPE;
  return -1;
}

ssize_t LoadClients::recvSome(Client& c, char* buf, size_t cap) {
  if (!c.ssl) return ::recv(c.fd, buf, cap, 0);
  const int n = SSL_read(c.ssl, buf, int(cap));
  if (n > 0) return n;
  const int err = SSL_get_error(c.ssl, n);
  if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
    errno = EAGAIN;
    return -1;
  }
  return 0;
}

void LoadClients::write(Client& c, const std::string& bytes) {
  if (c.fd < 0) return;
  if (c.out.empty()) {
    ssize_t w = sendSome(c, bytes.data(), bytes.size());
    if (w == ssize_t(bytes.size())) return;
    c.out.assign(bytes, w > 0 ? size_t(w) : 0);
  } else {
    c.out += bytes;
  }
  epoll_event ev{EPOLLIN | EPOLLOUT, {}};
  ev.data.ptr = &c;
  epoll_ctl(ep_, EPOLL_CTL_MOD, c.fd, &ev);
}

static int connectTo(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd);
    return -1;
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  int flags = 1;
  ioctl(fd, FIONBIO, &flags);
  return fd;
}

bool LoadClients::connectAndSignIn(int port, double timeoutSeconds) {
  for (Client* c : clients_) {
    c->fd = connectTo(port);
    if (c->fd < 0) return false;
    if (tls_) {
      c->ssl = SSL_new(tls_);
      SSL_set_fd(c->ssl, c->fd);
      for (int rc; (rc = SSL_connect(c->ssl)) != 1;) {
        const int err = SSL_get_error(c->ssl, rc);
        if (err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE) return false;
        pollfd p{c->fd, short(err == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        if (poll(&p, 1, 10000) != 1) return false;
      }
    }
    epoll_event ev{EPOLLIN, {}};
    ev.data.ptr = c;
    epoll_ctl(ep_, EPOLL_CTL_ADD, c->fd, &ev);
    write(*c, registration(idOf(c->index), 1, {}));
  }
  double end = now() + timeoutSeconds;
  while (ready_ < int(clients_.size()) && now() < end) pump(100, false);
  return ready_ == int(clients_.size());
}

bool LoadClients::connectBare(int port) {
  for (Client* c : clients_) {
    c->fd = connectTo(port);
    if (c->fd < 0) return false;
    epoll_event ev{EPOLLIN, {}};
    ev.data.ptr = c;
    epoll_ctl(ep_, EPOLL_CTL_ADD, c->fd, &ev);
    int32_t idx = c->index;
    write(*c, std::string(reinterpret_cast<const char*>(&idx), 4));
  }
  usleep(200 * 1000);  // let the relay learn every index before lines flow
  pump(0, true);
  return true;
}

void LoadClients::pump(int timeoutMs, bool bare) {
  epoll_event events[512];
  int n = epoll_wait(ep_, events, 512, timeoutMs);
  for (int i = 0; i < n; ++i) {
    Client& c = *static_cast<Client*>(events[i].data.ptr);
    if (c.fd < 0) continue;
    if (events[i].events & EPOLLOUT) {
      ssize_t w = sendSome(c, c.out.data(), c.out.size());
      if (w > 0) c.out.erase(0, size_t(w));
      if (c.out.empty()) {
        epoll_event ev{EPOLLIN, {}};
        ev.data.ptr = &c;
        epoll_ctl(ep_, EPOLL_CTL_MOD, c.fd, &ev);
      }
    }
    if (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) onReadable(c, bare);
  }
}

void LoadClients::onReadable(Client& c, bool bare) {
  char buf[65536];
  // TLS may hold whole records the socket no longer announces: read until it wants more.
  do {
    ssize_t r = recvSome(c, buf, sizeof buf);
    if (r <= 0) {
      if (r < 0 && errno == EAGAIN) return;
      if (c.ssl) SSL_free(c.ssl);
      c.ssl = nullptr;
      close(c.fd);
      c.fd = -1;
      return;
    }
    consume(c, buf, size_t(r), bare);
  } while (c.ssl && c.fd >= 0);
}

void LoadClients::consume(Client& c, const char* buf, size_t r, bool bare) {
  if (bare) {
    long size = long(line_[size_t(c.index - first_)].size());
    long before = c.received / size;
    c.received += long(r);
    long lines = c.received / size - before;
    if (chatting_ && lines > 0) {
      delivered_ += lines;
      std::string next;
      for (long k = 0; k < lines; ++k) next += line_[size_t(c.index - first_)];
      write(c, next);
    }
    return;
  }
  c.in.append(buf, r);
  std::string pending;  // everything this read calls for goes out in one write
  for (;;) {
    std::string_view data(c.in);
    data.remove_prefix(c.inOffset);
    size_t headEnd = data.find("\r\n\r\n");
    if (headEnd == std::string_view::npos) break;
    std::string_view head = data.substr(0, headEnd);
    std::string l = headerValue(head, "L");
    size_t body = l.empty() ? 0 : size_t(std::stoul(l));
    if (data.size() < headEnd + 4 + body) break;
    c.inOffset += headEnd + 4 + body;
    if (head.substr(0, 2) == "M ") {
      // A relayed line: answer it as the engine does, then send the next one.
      pending += "SIP-C/2.0 200 OK\r\nI: " + headerValue(head, "I") +
                 "\r\nQ: " + headerValue(head, "Q") + "\r\n\r\n";
      if (chatting_) {
        ++delivered_;
        pending += line_[size_t(c.index - first_)];
      }
    } else if (head.substr(0, 10) == "SIP-C/2.0 ") {
      int status = std::atoi(std::string(head.substr(10, 3)).c_str());
      std::string q = headerValue(head, "Q");
      if (c.state == 0 && status == 401 && q == "1 R") {
        auto a = tavrin::digest_answer(headerValue(head, "W"), idOf(c.index), kDomain, "bench");
        write(c, registration(idOf(c.index), 2, a ? *a : std::string()));
        c.state = 1;
      } else if (c.state == 1 && q == "2 R") {
        if (status != 200) continue;
        c.state = 2;
        std::string body = "<args><subscription><contacts><contact uri=\"" + uriOf(c.index ^ 1) +
                           "\" /></contacts><presence><basic attributes=\"all\" /><personal "
                           "attributes=\"all\" /><extended types=\"sms;location\" /></presence>"
                           "</subscription></args>";
        write(c, "SUB tavrin.local SIP-C/2.0\r\nF: " + idOf(c.index) +
                     "\r\nI: 2 \r\nQ: 1 SUB\r\nN: presence\r\nL: " + std::to_string(body.size()) +
                     "\r\n\r\n" + body);
      } else if (c.state == 2 && q == "1 SUB" && status == 200) {
        c.state = 3;
        ++ready_;
      }
    }
  }
  if (!pending.empty()) write(c, pending);
  if (c.inOffset == c.in.size()) {
    c.in.clear();
    c.inOffset = 0;
  } else if (c.inOffset > 65536) {
    c.in.erase(0, c.inOffset);
    c.inOffset = 0;
  }
}

ChatFigures LoadClients::chat(double seconds, int window, bool bare) {
  chatting_ = true;
  delivered_ = 0;
  for (Client* c : clients_)
    for (int k = 0; k < window; ++k) write(*c, line_[size_t(c->index - first_)]);
  double start = now(), end = start + seconds;
  while (now() < end) pump(50, bare);
  ChatFigures f;
  f.seconds = now() - start;
  f.lines = delivered_;
  chatting_ = false;
  for (Client* c : clients_) f.held += c->fd >= 0 ? 1 : 0;
  return f;
}

}  // namespace bench
