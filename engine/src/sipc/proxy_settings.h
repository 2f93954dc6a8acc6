// ProxySettings: the stored proxy description (a private copy with every
// string duplicated) and the proxy-enabled flag. Written from the client's
// thread, read by the connect on the timer thread; guarded by its own lock,
// a leaf. fx_get_proxy hands out the engine's copy, valid until the next
// fx_set_proxy or fx_terminate.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "libtavrin.h"

namespace tavrin {

// A proxy description as plain values, for the connect.
struct ProxyConfig {
  std::string host;
  std::string port;  // decimal text, as stored
  std::optional<std::string> user_name;
  std::optional<std::string> password;
  int type = FX_PROXY_NONE;

  bool has_credentials() const { return user_name && password; }
  // The decimal value of the port text (digits up to the first other
  // character); 0 when there is none or it is out of range.
  int port_number() const;
  static ProxyConfig from(const fx_proxy& p);
};

class ProxySettings {
 public:
  ProxySettings() = default;
  ~ProxySettings() { reset(); }
  ProxySettings(const ProxySettings&) = delete;
  ProxySettings& operator=(const ProxySettings&) = delete;

  // 0 for null, a type above 4, or a missing host or port; otherwise stores
  // a copy, sets enabled = (type != 0) and returns 1.
  int set(const fx_proxy* proxy);
  const fx_proxy* get();
  void set_enabled(int flag);
  int enabled();
  // The proxy to connect through: set only while enabled and one is stored.
  std::optional<ProxyConfig> active();
  void reset();

 private:
  std::mutex mu_;               // guards the fields below
  fx_proxy* stored_ = nullptr;  // owned; strings from strdup
  int enabled_ = 0;
};

ProxySettings& proxy_settings();

}  // namespace tavrin
