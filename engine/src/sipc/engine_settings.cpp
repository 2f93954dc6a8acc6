#include "sipc/engine_settings.h"

namespace tavrin {

std::string EngineSettings::sip_domain() {
  std::lock_guard lock(mu_);
  return sip_domain_;
}
void EngineSettings::set_sip_domain(std::string domain) {
  std::lock_guard lock(mu_);
  sip_domain_ = std::move(domain);
}
std::string EngineSettings::nav_host() {
  std::lock_guard lock(mu_);
  return nav_host_;
}
int EngineSettings::nav_port() {
  std::lock_guard lock(mu_);
  return nav_port_;
}
void EngineSettings::set_nav(std::string host, int port) {
  std::lock_guard lock(mu_);
  nav_host_ = std::move(host);
  nav_port_ = port;
}
std::string EngineSettings::default_proxy_host() {
  std::lock_guard lock(mu_);
  return proxy_host_;
}
int EngineSettings::default_proxy_port() {
  std::lock_guard lock(mu_);
  return proxy_port_;
}
void EngineSettings::set_default_proxy(std::string host, int port) {
  std::lock_guard lock(mu_);
  proxy_host_ = std::move(host);
  proxy_port_ = port;
}
std::string EngineSettings::signin_address() {
  std::lock_guard lock(mu_);
  return signin_;
}
void EngineSettings::set_signin_address(std::string address) {
  std::lock_guard lock(mu_);
  signin_ = std::move(address);
}
std::string EngineSettings::ca_file() {
  std::lock_guard lock(mu_);
  return ca_file_;
}
void EngineSettings::set_ca_file(std::string path) {
  std::lock_guard lock(mu_);
  ca_file_ = std::move(path);
}
void EngineSettings::reset() {
  std::lock_guard lock(mu_);
  sip_domain_ = kDefaultSipDomain;
  nav_host_ = kDefaultNavHost;
  nav_port_ = kDefaultNavPort;
  proxy_host_ = kDefaultProxyHost;
  proxy_port_ = kDefaultProxyPort;
  signin_ = kDefaultSigninAddress;
  ca_file_.clear();
}

EngineSettings& engine_settings() {
  static EngineSettings* const instance = new EngineSettings;
  return *instance;
}

}  // namespace tavrin
