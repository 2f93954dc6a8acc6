#include "doctor/connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
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
  ssl_.reset();
  if (fd_ >= 0) ::close(fd_);
}

Connection::Connection(Connection&& other) noexcept {
  *this = std::move(other);
}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    ssl_ = std::move(other.ssl_);
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

namespace {

std::string name_of(X509_NAME* name) {
  char text[256] = {};
  X509_NAME_oneline(name, text, sizeof text);
  return text;
}

}  // namespace

bool Connection::start_tls(const std::string& host, const std::string& ca_file, Deadline deadline,
                           std::string* detail) {
  ERR_clear_error();
  std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> ctx(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
  if (!ctx) {
    *detail = "handshake: no TLS context";
    return false;
  }
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if ((ca_file.empty() ? SSL_CTX_set_default_verify_paths(ctx.get())
                       : SSL_CTX_load_verify_locations(ctx.get(), ca_file.c_str(), nullptr)) != 1) {
    *detail = "chain: cannot read the CA file " + ca_file;
    return false;
  }
  ssl_.reset(SSL_new(ctx.get()));
  SSL_set_fd(ssl_.get(), fd_);
  in_addr ip{};
  if (inet_pton(AF_INET, host.c_str(), &ip) == 1) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.get()), host.c_str());
  } else {
    SSL_set1_host(ssl_.get(), host.c_str());
    SSL_set_tlsext_host_name(ssl_.get(), host.c_str());
  }
  SSL_set_connect_state(ssl_.get());
  for (;;) {
    ERR_clear_error();
    const int rc = SSL_connect(ssl_.get());
    if (rc == 1) break;
    const int err = SSL_get_error(ssl_.get(), rc);
    const short events = err == SSL_ERROR_WANT_READ ? POLLIN : err == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
    if (events != 0) {
      if (wait_for(fd_, events, deadline) > 0) continue;
      *detail = "handshake: " + deadline.no_answer();
      ssl_.reset();
      return false;
    }
    const long verified = SSL_get_verify_result(ssl_.get());
    const bool name = verified == X509_V_ERR_HOSTNAME_MISMATCH ||
                      verified == X509_V_ERR_IP_ADDRESS_MISMATCH;
    if (name) {
      *detail = "name: the certificate is not for " + host;
    } else if (verified != X509_V_OK) {
      *detail = std::string("chain: ") + X509_verify_cert_error_string(verified) +
                (ca_file.empty() ? " (checked against the system's store)"
                                 : " (checked against " + ca_file + ")");
    } else {
      char words[256] = "the peer closed the connection";
      if (const unsigned long e = ERR_peek_last_error(); e != 0)
        ERR_error_string_n(e, words, sizeof words);
      *detail = std::string("handshake: ") + words + " (is it a TLS port?)";
    }
    ssl_.reset();
    return false;
  }
  X509* cert = SSL_get1_peer_certificate(ssl_.get());
  *detail = std::string(SSL_get_version(ssl_.get())) + " " + SSL_get_cipher_name(ssl_.get());
  if (cert) {
    *detail += "; certificate " + name_of(X509_get_subject_name(cert)) + " issued by " +
               name_of(X509_get_issuer_name(cert)) + "; chain ok; name " + host + " ok";
    X509_free(cert);
  }
  return true;
}

ssize_t Connection::raw_send(const char* data, size_t len, short* wait) {
  *wait = POLLOUT;
  if (!ssl_) return ::send(fd_, data, len, MSG_NOSIGNAL);
  ERR_clear_error();
  const int n = SSL_write(ssl_.get(), data, int(std::min<size_t>(len, INT_MAX)));
  if (n > 0) return n;
  const int err = SSL_get_error(ssl_.get(), n);
  if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
    *wait = err == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
    errno = EAGAIN;
  } else if (err != SSL_ERROR_SYSCALL) {
    errno = EPROTO;
  }
  return -1;
}

ssize_t Connection::raw_recv(char* buf, size_t cap, short* wait) {
  *wait = POLLIN;
  if (!ssl_) return ::recv(fd_, buf, cap, 0);
  ERR_clear_error();
  errno = 0;
  const int n = SSL_read(ssl_.get(), buf, int(std::min<size_t>(cap, INT_MAX)));
  if (n > 0) return n;
  const int err = SSL_get_error(ssl_.get(), n);
  if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
    *wait = err == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
    errno = EAGAIN;
    return -1;
  }
  if (err == SSL_ERROR_ZERO_RETURN || (err == SSL_ERROR_SYSCALL && errno == 0)) return 0;
  if (err != SSL_ERROR_SYSCALL) errno = EPROTO;
  return -1;
}

bool Connection::send_all(std::string_view bytes, Deadline deadline, std::string* why) {
  while (!bytes.empty()) {
    short wait = POLLOUT;
    const ssize_t n = raw_send(bytes.data(), bytes.size(), &wait);
    if (n > 0) {
      bytes.remove_prefix(size_t(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (wait_for(fd_, wait, deadline) > 0) continue;
      *why = "cannot send: " + deadline.no_answer();
      return false;
    }
    *why = "cannot send: " + errno_text(n < 0 ? errno : EPIPE);
    return false;
  }
  return true;
}

Connection::Got Connection::receive(Deadline deadline) {
  short wait = POLLIN;
  for (;;) {
    // Bytes TLS decrypted already are not the kernel's to announce.
    const bool pending = ssl_ && SSL_has_pending(ssl_.get()) == 1;
    const int ready = pending ? 1 : wait_for(fd_, wait, deadline);
    if (ready == 0) return Got::kTimeout;
    char piece[4096];
    const ssize_t n = ready > 0 ? raw_recv(piece, sizeof piece, &wait) : -1;
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
