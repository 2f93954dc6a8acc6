// The HTTP CONNECT handshake: asks an HTTP proxy for a tunnel to the
// SIP-C server, with Basic authorisation when both credentials are set.
// Runs on the thread that connects (timer thread, or fx_test_network's caller).
#pragma once

#include <string>
#include <string_view>

#include "sipc/proxy_settings.h"

namespace tavrin {

// The request text sent to the proxy.
std::string http_connect_request(const ProxyConfig& proxy, const std::string& host, int port);

// The status of a proxy reply: "HTTP/" first, then the three digits after
// the first space, standing alone. -1 for anything else.
int http_reply_status(std::string_view reply);

// Longest proxy reply head read (the tunnel starts right after it).
inline constexpr size_t kHttpReplyLimit = 1023;

// Sends the request and reads the reply head (until its blank line, at most
// kHttpReplyLimit bytes, each read waiting at most 10 s). True for a status
// from 200 to 299; any other status, a malformed or missing reply fails.
bool http_connect_handshake(int fd, const ProxyConfig& proxy, const std::string& host, int port);

}  // namespace tavrin
