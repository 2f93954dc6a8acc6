#include "sipc/proxy_settings.h"

#include <cstdlib>
#include <cstring>

namespace tavrin {

namespace {
char* dup_or_null(const char* s) {
  return s ? strdup(s) : nullptr;
}
void free_proxy(fx_proxy* p) {
  if (!p) return;
  free(p->host);
  free(p->port);
  free(p->user_name);
  free(p->password);
  free(p);
}
}  // namespace

int ProxyConfig::port_number() const {
  long value = 0;
  size_t i = 0;
  for (; i < port.size() && port[i] >= '0' && port[i] <= '9'; ++i) {
    value = value * 10 + (port[i] - '0');
    if (value > 65535) return 0;
  }
  return int(value);
}

ProxyConfig ProxyConfig::from(const fx_proxy& p) {
  ProxyConfig c;
  c.host = p.host ? p.host : "";
  c.port = p.port ? p.port : "";
  if (p.user_name) c.user_name = p.user_name;
  if (p.password) c.password = p.password;
  c.type = p.type;
  return c;
}

int ProxySettings::set(const fx_proxy* proxy) {
  if (!proxy || proxy->type < 0 || proxy->type > 4 || !proxy->host || !proxy->port) return 0;
  auto* copy = static_cast<fx_proxy*>(calloc(1, sizeof(fx_proxy)));
  if (!copy) return 0;
  copy->host = dup_or_null(proxy->host);
  copy->port = dup_or_null(proxy->port);
  copy->user_name = dup_or_null(proxy->user_name);
  copy->password = dup_or_null(proxy->password);
  copy->type = proxy->type;
  std::lock_guard lock(mu_);
  free_proxy(stored_);
  stored_ = copy;
  enabled_ = proxy->type != FX_PROXY_NONE;
  return 1;
}

const fx_proxy* ProxySettings::get() {
  std::lock_guard lock(mu_);
  return stored_;
}

void ProxySettings::set_enabled(int flag) {
  std::lock_guard lock(mu_);
  enabled_ = flag;
}

int ProxySettings::enabled() {
  std::lock_guard lock(mu_);
  return enabled_;
}

std::optional<ProxyConfig> ProxySettings::active() {
  std::lock_guard lock(mu_);
  if (!enabled_ || !stored_) return std::nullopt;
  return ProxyConfig::from(*stored_);
}

void ProxySettings::reset() {
  std::lock_guard lock(mu_);
  free_proxy(stored_);
  stored_ = nullptr;
  enabled_ = 0;
}

ProxySettings& proxy_settings() {
  // Kept across fx_terminate: the proxy is the client's setting, not session state.
  static ProxySettings* const instance = new ProxySettings;
  return *instance;
}

}  // namespace tavrin
