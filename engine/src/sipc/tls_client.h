// TLS to the SIP-C server, client side: the handshake on a connected
// non-blocking socket within a time limit, verifying the certificate chain
// (against the engine settings' CA file, else the system's store) and the
// name or address it was reached by; and the reason the last connect
// failed over TLS, which the login hands on as p1 of message 5. Writes go
// out with MSG_NOSIGNAL: a peer that vanishes never raises SIGPIPE in the
// front end's process. Timer thread (the login's connect) or the caller of
// fx_test_network; nothing here touches the engine's connection.
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace tavrin {

struct SslFree {
  void operator()(SSL* s) const { SSL_free(s); }
};
using SslPtr = std::unique_ptr<SSL, SslFree>;

// The TLS session over fd once the handshake and the checks passed; null
// otherwise, with *failure an FX_TLS_* reason and *detail the library's words.
SslPtr tls_handshake(int fd, const std::string& host, int limit_ms, int* failure,
                     std::string* detail);

// The FX_TLS_* reason of the last failed connect, 0 when it was no TLS
// failure (any thread; the connect sets it, the login reads it).
void note_connect_failure(int reason);
int last_connect_failure();

}  // namespace tavrin
