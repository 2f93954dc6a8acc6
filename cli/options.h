// Command-line options of tavrin-cli. parse_options reads argv only; the
// password's other sources (environment, terminal prompt) are main's job.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrin::cli {

struct Options {
  std::optional<std::string> server;  // SIP-C proxy "host:port"
  std::optional<std::string> nav_host;
  int nav_port = 80;
  std::optional<std::string> domain;
  std::optional<std::string> signin;
  std::optional<std::string> ca_file;
  bool tls = false;  // --server tls://HOST:PORT: SIP-C over TLS, never plain
  std::optional<std::string> proxy;  // http://... or socks5://...
  int status = 0;                    // 0: the engine's default
  std::string user;
  std::optional<std::string> password;
  bool json = false;
  bool no_relogin = false;  // a lost connection ends the run (exit 5)
  bool doctor = false;      // check the login's steps instead of logging in
  bool help = false;
};

enum class ParseResult { ok, help, error };

ParseResult parse_options(const std::vector<std::string>& args, Options* out, std::string* error);

// The parts of a proxy URL; false (with a reason) for anything else.
struct ProxyUrl {
  int type = 0;  // 1 HTTP, 3 SOCKS5 (the engine's numbers)
  std::string host, port, user, password;
};
bool parse_proxy_url(const std::string& url, ProxyUrl* out, std::string* error);

const char* usage_text();

}  // namespace tavrin::cli
