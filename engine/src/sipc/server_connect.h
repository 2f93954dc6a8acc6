// Opening a TCP connection to the SIP-C server: directly, or through an
// HTTP CONNECT or SOCKS5 proxy. Used by the socket driver's connect (timer
// thread, inside the login) and by fx_test_network (the caller's thread).
#pragma once

#include <optional>
#include <string>

#include "sipc/proxy_settings.h"

namespace tavrin {

inline constexpr int kConnectLimitMs = 15000;

struct Destination {
  std::string host;
  int port = 0;
};
// The server from the server settings, or the default address; a port of
// 0 becomes 8080 (the default address's own port when that is set).
Destination server_destination();

// A connected socket (non-blocking) or -1. Without a proxy (or with type
// 0) a direct connection; types 1 and 3 through the proxy; 2 and 4 fail.
// A socket that fails on the way is closed.
int open_server_socket(const std::optional<ProxyConfig>& proxy);

}  // namespace tavrin
