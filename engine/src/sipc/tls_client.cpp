#include "sipc/tls_client.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include "libtavrin.h"
#include "sipc/engine_settings.h"
#include "sipc/socket_error.h"

namespace tavrin {

namespace {

std::atomic<int> g_last_failure{0};

int socket_of(BIO* b) {
  return int(reinterpret_cast<intptr_t>(BIO_get_data(b)));
}

int bio_write(BIO* b, const char* data, int len) {
  BIO_clear_retry_flags(b);
  const ssize_t n = ::send(socket_of(b), data, size_t(len), MSG_NOSIGNAL);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_write(b);
  return int(n);
}

int bio_read(BIO* b, char* data, int len) {
  BIO_clear_retry_flags(b);
  const ssize_t n = ::recv(socket_of(b), data, size_t(len), 0);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) BIO_set_retry_read(b);
  return int(n);
}

long bio_ctrl(BIO*, int cmd, long, void*) {
  return cmd == BIO_CTRL_FLUSH ? 1 : 0;
}

int bio_create(BIO* b) {
  BIO_set_init(b, 1);
  return 1;
}

// A socket BIO that sends with MSG_NOSIGNAL and never closes the socket.
const BIO_METHOD* socket_method() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "tavrin socket");
    BIO_meth_set_write(m, bio_write);
    BIO_meth_set_read(m, bio_read);
    BIO_meth_set_ctrl(m, bio_ctrl);
    BIO_meth_set_create(m, bio_create);
    return m;
  }();
  return method;
}

struct CtxFree {
  void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};

std::string library_words() {
  const unsigned long e = ERR_peek_last_error();
  if (e == 0) return {};
  char text[256];
  ERR_error_string_n(e, text, sizeof text);
  return text;
}

}  // namespace

SslPtr tls_handshake(int fd, const std::string& host, int limit_ms, int* failure,
                     std::string* detail) {
  *failure = FX_TLS_HANDSHAKE;
  ERR_clear_error();
  std::unique_ptr<SSL_CTX, CtxFree> ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx) return nullptr;
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  const std::string ca = engine_settings().ca_file();
  const int loaded = ca.empty() ? SSL_CTX_set_default_verify_paths(ctx.get())
                                : SSL_CTX_load_verify_locations(ctx.get(), ca.c_str(), nullptr);
  if (loaded != 1) {
    *failure = FX_TLS_UNTRUSTED;
    *detail = "cannot read the CA file " + ca;
    return nullptr;
  }
  SslPtr ssl(SSL_new(ctx.get()));
  BIO* bio = ssl ? BIO_new(socket_method()) : nullptr;
  if (!bio) return nullptr;
  BIO_set_data(bio, reinterpret_cast<void*>(intptr_t(fd)));
  SSL_set_bio(ssl.get(), bio, bio);
  in_addr ip{};
  if (inet_pton(AF_INET, host.c_str(), &ip) == 1) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), host.c_str());
  } else {
    SSL_set1_host(ssl.get(), host.c_str());
    SSL_set_tlsext_host_name(ssl.get(), host.c_str());
  }
  SSL_set_connect_state(ssl.get());

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  for (;;) {
    ERR_clear_error();
    const int rc = SSL_connect(ssl.get());
    if (rc == 1) break;
    const int err = SSL_get_error(ssl.get(), rc);
    short events = 0;
    if (err == SSL_ERROR_WANT_READ) events = POLLIN;
    if (err == SSL_ERROR_WANT_WRITE) events = POLLOUT;
    const long verified = SSL_get_verify_result(ssl.get());
    if (events == 0) {
      if (verified == X509_V_ERR_HOSTNAME_MISMATCH || verified == X509_V_ERR_IP_ADDRESS_MISMATCH)
        *failure = FX_TLS_NAME;
      else if (verified != X509_V_OK)
        *failure = FX_TLS_UNTRUSTED;
      *detail = verified != X509_V_OK ? X509_verify_cert_error_string(verified) : library_words();
      if (detail->empty()) *detail = "the connection ended during the handshake";
      return nullptr;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{fd, events, 0};
    if (left <= 0 || (::poll(&p, 1, int(left)) <= 0 && errno != EINTR)) {
      *detail = "no handshake in time";
      return nullptr;
    }
  }
  *failure = 0;
  engine_log("TLS %s with %s", SSL_get_version(ssl.get()), host.c_str());
  return ssl;
}

void note_connect_failure(int reason) {
  g_last_failure.store(reason);
}

int last_connect_failure() {
  return g_last_failure.load();
}

}  // namespace tavrin
