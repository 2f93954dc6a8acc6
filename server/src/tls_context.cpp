#include "tls_context.h"

#include <openssl/err.h>

namespace tavrin::server {

TlsContext::TlsContext(std::string tlsDir, std::string certFile, std::string keyFile)
    : cert_(certFile.empty() ? tlsDir + "/server.pem" : std::move(certFile)),
      key_(keyFile.empty() ? tlsDir + "/server-key.pem" : std::move(keyFile)) {}

std::string TlsContext::reload() {
  std::unique_ptr<SSL_CTX, Free> ctx(SSL_CTX_new(TLS_server_method()));
  if (!ctx) return "no TLS context";
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  // Partial writes from a queue that may move between tries; idle
  // connections give their record buffers back (a thousand idle clients
  // would otherwise hold tens of MB).
  SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE |
                                  SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_RELEASE_BUFFERS);
  // Long-lived connections: no session cache to grow, no tickets to rotate.
  SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_OFF);
  SSL_CTX_set_num_tickets(ctx.get(), 0);
  ERR_clear_error();
  if (SSL_CTX_use_certificate_chain_file(ctx.get(), cert_.c_str()) != 1)
    return "cannot read the certificate " + cert_;
  if (SSL_CTX_use_PrivateKey_file(ctx.get(), key_.c_str(), SSL_FILETYPE_PEM) != 1)
    return "cannot read the key " + key_;
  if (SSL_CTX_check_private_key(ctx.get()) != 1)
    return "the key " + key_ + " does not match the certificate " + cert_;
  ctx_ = std::move(ctx);
  return {};
}

}  // namespace tavrin::server
