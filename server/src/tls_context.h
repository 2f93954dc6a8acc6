// TlsContext: the server certificate every TLS listener presents (SIP-C over
// TLS and sign-in): the operator's PEM certificate chain and key when given,
// else the one ensureCertificates made in DATA/tls. reload() reads the files
// again (SIGHUP): new connections get the new context, open ones keep the
// one they started with; a reload that fails keeps the old one.
// Event-loop thread only.
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace tavrin::server {

class TlsContext {
 public:
  // certFile and keyFile both empty: the made certificate of tlsDir.
  TlsContext(std::string tlsDir, std::string certFile, std::string keyFile);
  // Reads the files; an error text on failure (the current context stays).
  std::string reload();
  // Null until the first reload succeeded.
  SSL_CTX* get() const { return ctx_.get(); }
  const std::string& certFile() const { return cert_; }

 private:
  struct Free {
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
  };
  std::string cert_;
  std::string key_;
  std::unique_ptr<SSL_CTX, Free> ctx_;
};

}  // namespace tavrin::server
