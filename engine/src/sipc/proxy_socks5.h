// The SOCKS5 handshake (RFC 1928, user/password method of RFC 1929): greets
// the proxy, authenticates when both credentials are set, and asks for a
// connection to the SIP-C server by host name text and port.
// Runs on the thread that connects; every read waits at most 10 s.
#pragma once

#include <string>

#include "sipc/proxy_settings.h"

namespace tavrin {

bool socks5_handshake(int fd, const ProxyConfig& proxy, const std::string& host, int port);

}  // namespace tavrin
