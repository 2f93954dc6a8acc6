#include "sipc/server_settings.h"

#include "frame/engine.h"

namespace tavrin {

std::optional<HostPort> parse_host_port(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  HostPort hp;
  hp.host.assign(text.substr(0, colon));
  long port = 0;
  for (size_t i = colon + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    port = port * 10 + (text[i] - '0');
    if (port > 65535) return std::nullopt;
  }
  hp.port = int(port);
  return hp;
}

std::optional<ServerAddress> parse_server_address(std::string_view text) {
  ServerAddress a;
  if (text.substr(0, kTlsScheme.size()) == kTlsScheme) {
    a.tls = true;
    text.remove_prefix(kTlsScheme.size());
    if (text.empty()) return a;
  }
  a.address = parse_host_port(text);
  if (!a.address) return std::nullopt;
  return a;
}

std::string ServerSettings::host() {
  std::lock_guard lock(mu_);
  return host_;
}
int ServerSettings::port() {
  std::lock_guard lock(mu_);
  return port_;
}
void ServerSettings::set_address(std::string host, int port, bool tls) {
  std::lock_guard lock(mu_);
  host_ = std::move(host);
  port_ = port;
  tls_ = tls;
}
bool ServerSettings::tls() {
  std::lock_guard lock(mu_);
  return tls_;
}
bool ServerSettings::tls_required() {
  std::lock_guard lock(mu_);
  return tls_required_;
}
void ServerSettings::set_tls_required(bool flag) {
  std::lock_guard lock(mu_);
  tls_required_ = flag;
}
void ServerSettings::forget_address() {
  set_address({}, 0);
}
std::string ServerSettings::proxy_text() {
  std::lock_guard lock(mu_);
  return proxy_text_;
}
void ServerSettings::set_proxy_text(std::string text) {
  std::lock_guard lock(mu_);
  proxy_text_ = std::move(text);
}
int ServerSettings::login_status() {
  std::lock_guard lock(mu_);
  return login_status_;
}
void ServerSettings::set_login_status(int status) {
  std::lock_guard lock(mu_);
  login_status_ = status;
}
int ServerSettings::long_sms() {
  std::lock_guard lock(mu_);
  return long_sms_;
}
void ServerSettings::set_long_sms(int flag) {
  std::lock_guard lock(mu_);
  long_sms_ = flag;
}
void ServerSettings::reset() {
  std::lock_guard lock(mu_);
  host_.clear();
  port_ = 0;
  tls_ = false;
  tls_required_ = false;
  proxy_text_.clear();
  login_status_ = 0;
  long_sms_ = 0;
}

ServerSettings& server_settings() {
  static ServerSettings* const instance = [] {
    auto* s = new ServerSettings;
    engine().add_teardown([s] { s->reset(); });
    return s;
  }();
  return *instance;
}

}  // namespace tavrin
