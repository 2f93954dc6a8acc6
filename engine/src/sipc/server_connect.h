// Opening a connection to the SIP-C server: TCP directly, or through an
// HTTP CONNECT or SOCKS5 proxy, and over it TLS when the server settings ask
// for it (the TLS session runs end to end: the proxy sees only ciphertext). Used by the socket driver's connect (timer
// thread, inside the login) and by fx_test_network (the caller's thread).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sipc/connection.h"
#include "sipc/proxy_settings.h"

namespace tavrin {

inline constexpr int kConnectLimitMs = 15000;

struct Destination {
  std::string host;
  int port = 0;
  bool tls = false;  // the address speaks TLS, or the front end asked for TLS
};
// The server from the server settings, or the default address; a port of
// 0 becomes 8080 (the default address's own port when that is set).
Destination server_destination();

// A connected socket (non-blocking) or -1. Without a proxy (or with type
// 0) a direct connection; types 1 and 3 through the proxy; 2 and 4 fail.
// A socket that fails on the way is closed.
int open_server_socket(const std::optional<ProxyConfig>& proxy);

// The connected stream, over TLS (verified) when the destination asks for
// it; null on failure. Notes the TLS reason of a failure (or 0) for the
// login, and hands the library's words to *detail when given.
std::shared_ptr<Socket> open_server_stream(const std::optional<ProxyConfig>& proxy,
                                           std::string* detail = nullptr);

}  // namespace tavrin
