// The doctor's proxy handshakes: an HTTP CONNECT or a SOCKS5 tunnel to the
// SIP-C proxy, asked the way the engine asks (the same request, Basic or
// user/password authorisation only when both credentials are set, the
// target by host name text), but reporting the proxy's own answer: its
// status line, or the SOCKS5 method, authentication status and reply code.
// One thread; blocking within the deadline.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "doctor/connection.h"

namespace tavrin::cli::doctor {

struct Proxy {
  enum class Kind { kHttp, kSocks5 } kind = Kind::kHttp;
  std::string host;
  int port = 0;
  std::optional<std::string> user, password;
  bool has_credentials() const { return user && password; }
};

// Over a connection to the proxy, asks for a tunnel to host:port. True once
// the tunnel stands; *detail says what the proxy answered either way.
bool http_connect(Connection& c, const Proxy& proxy, const std::string& host, int port,
                  Deadline deadline, std::string* detail);
bool socks5_connect(Connection& c, const Proxy& proxy, const std::string& host, int port,
                    Deadline deadline, std::string* detail);

// Longest proxy answer head read, as the engine reads it.
inline constexpr size_t kHttpHeadLimit = 1023;
// "407 Proxy Authentication Required" from a head starting "HTTP/1.x 407 ...";
// empty when its first line is no HTTP status line.
std::string http_status_of(std::string_view head);
// The status number of such a text (0 for empty).
int http_status_code(std::string_view status);
// Words for a SOCKS5 reply code ("connection refused").
std::string socks5_reply_meaning(int code);

}  // namespace tavrin::cli::doctor
