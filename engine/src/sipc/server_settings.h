// ServerSettings: where the SIP-C proxy is (set by navigation or by
// fx_set_serve_address) and whether it speaks TLS, whether the front end
// asked for TLS whatever navigation says ("tls://"), the last navigation reply's proxy text, and the
// login status and long-SMS flag the session uses. One record per engine;
// emptied by fx_terminate. Guarded by its own lock, a leaf: read on the
// timer thread (connect, login) and written from the client's thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// "host:port" split at the first ":"; the port is the decimal digits after
// it up to the first non-digit (none gives 0). Nothing for a text without
// ":", an empty host, or a port above 65535.
struct HostPort {
  std::string host;
  int port = 0;
};
std::optional<HostPort> parse_host_port(std::string_view text);

// A server address as fx_set_serve_address takes it: "host:port" for plain
// SIP-C, "tls://host:port" for SIP-C over TLS, "tls://" alone for TLS at
// whatever address navigation names. Nothing for anything else.
struct ServerAddress {
  std::optional<HostPort> address;  // none: "tls://" alone
  bool tls = false;
};
std::optional<ServerAddress> parse_server_address(std::string_view text);
inline constexpr std::string_view kTlsScheme = "tls://";

class ServerSettings {
 public:
  // Empty host: unknown.
  std::string host();
  int port();
  // tls: the address speaks SIP-C over TLS.
  void set_address(std::string host, int port, bool tls = false);
  bool tls();
  // The front end wants TLS: every connection uses it, whatever address
  // navigation names; never cleared by navigation.
  bool tls_required();
  void set_tls_required(bool flag);
  void forget_address();  // host unknown, port 0
  std::string proxy_text();
  void set_proxy_text(std::string text);
  int login_status();
  void set_login_status(int status);
  int long_sms();
  void set_long_sms(int flag);
  void reset();

 private:
  std::mutex mu_;  // guards every field below
  std::string host_;
  int port_ = 0;
  bool tls_ = false;
  bool tls_required_ = false;
  std::string proxy_text_;
  int login_status_ = 0;
  int long_sms_ = 0;
};

ServerSettings& server_settings();

}  // namespace tavrin
