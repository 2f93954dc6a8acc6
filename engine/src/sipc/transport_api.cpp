// Exported proxy functions and the network test. No exception crosses the
// C interface.
#include <unistd.h>

#include "libtavrin.h"
#include "sipc/proxy_settings.h"
#include "sipc/server_connect.h"

using tavrin::proxy_settings;

extern "C" {

FX_API int fx_set_proxy(const fx_proxy* proxy) {
  try {
    return proxy_settings().set(proxy);
  } catch (...) {
    return 0;
  }
}

FX_API const fx_proxy* fx_get_proxy(void) {
  try {
    return proxy_settings().get();
  } catch (...) {
    return nullptr;
  }
}

FX_API void fx_setProxyEnabled(int flag) {
  try {
    proxy_settings().set_enabled(flag);
  } catch (...) {
  }
}

FX_API int fx_proxyEnabled(void) {
  try {
    return proxy_settings().enabled();
  } catch (...) {
    return 0;
  }
}

FX_API int fx_test_network(const fx_proxy* proxy) {
  try {
    std::optional<tavrin::ProxyConfig> through;
    if (proxy && proxy->type != FX_PROXY_NONE) {
      if (!proxy->host || !proxy->port) return 0;
      through = tavrin::ProxyConfig::from(*proxy);
    }
    // A test only: the engine's connection stays as it is.
    return tavrin::open_server_stream(through) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
