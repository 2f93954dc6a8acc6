// EngineSettings: the values of the service that an operator may change,
// each with a default: the SIP domain (target of every request line, part
// of the login digest), the navigation server's host and port, the default
// SIP-C proxy address used when navigation named none, and the sign-in
// server's address (read by the client's mobile-number lookup), and the CA
// file a TLS connection to the SIP-C server is verified against (empty: the
// system's store).
//
// Set through the exported fx_set_* functions; read by the engine on the
// timer and worker threads. Guarded by its own lock, a leaf.
#pragma once

#include <mutex>
#include <string>

namespace tavrin {

class EngineSettings {
 public:
  static constexpr const char* kDefaultSipDomain = "tavrin.local";
  static constexpr const char* kDefaultNavHost = "nav.tavrin.local";
  static constexpr int kDefaultNavPort = 80;
  static constexpr const char* kDefaultProxyHost = "127.0.0.1";
  static constexpr int kDefaultProxyPort = 8080;
  static constexpr const char* kDefaultSigninAddress = "https://signin.tavrin.local";

  std::string sip_domain();
  void set_sip_domain(std::string domain);
  std::string nav_host();
  int nav_port();
  void set_nav(std::string host, int port);
  std::string default_proxy_host();
  int default_proxy_port();
  void set_default_proxy(std::string host, int port);
  std::string signin_address();
  void set_signin_address(std::string address);
  std::string ca_file();
  void set_ca_file(std::string path);
  // Back to the defaults (fx_terminate).
  void reset();

 private:
  std::mutex mu_;  // guards every field below
  std::string sip_domain_ = kDefaultSipDomain;
  std::string nav_host_ = kDefaultNavHost;
  int nav_port_ = kDefaultNavPort;
  std::string proxy_host_ = kDefaultProxyHost;
  int proxy_port_ = kDefaultProxyPort;
  std::string signin_ = kDefaultSigninAddress;
  std::string ca_file_;
};

EngineSettings& engine_settings();

}  // namespace tavrin
