// Exported server-address and engine-settings functions. No exception
// crosses the C interface.
#include <cstdlib>
#include <cstring>
#include <string>

#include "libtavrin.h"
#include "sipc/engine_settings.h"
#include "sipc/server_settings.h"

using tavrin::engine_settings;
using tavrin::server_settings;

namespace {

char* new_string(const std::string& s) {
  return strdup(s.c_str());
}

char* host_port_string(const std::string& host, int port) {
  return new_string(host + ":" + std::to_string(port));
}

}  // namespace

extern "C" {

FX_API int fx_set_serve_address(const char* address) {
  try {
    if (!address) return 0;
    const auto a = tavrin::parse_server_address(address);
    if (!a) return 0;
    if (a->address)
      server_settings().set_address(a->address->host, a->address->port, a->tls);
    else
      server_settings().forget_address();
    server_settings().set_tls_required(a->tls);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API char* fx_get_serve_address(void) {
  try {
    const std::string host = server_settings().host();
    const int port = server_settings().port();
    if (host.empty() || port == 0) return nullptr;
    const bool tls = server_settings().tls() || server_settings().tls_required();
    return new_string((tls ? std::string(tavrin::kTlsScheme) : std::string()) + host + ":" +
                      std::to_string(port));
  } catch (...) {
    return nullptr;
  }
}

FX_API void fx_set_unknow_serve_address(void) {
  try {
    server_settings().forget_address();
    server_settings().set_tls_required(false);
  } catch (...) {
  }
}

FX_API int fx_set_sip_domain(const char* domain) {
  try {
    if (!domain || !*domain) return 0;
    engine_settings().set_sip_domain(domain);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API char* fx_get_sip_domain(void) {
  try {
    return new_string(engine_settings().sip_domain());
  } catch (...) {
    return nullptr;
  }
}

FX_API int fx_set_navigation_address(const char* host, int port) {
  try {
    if (!host || !*host || port < 1 || port > 65535) return 0;
    engine_settings().set_nav(host, port);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API char* fx_get_navigation_address(void) {
  try {
    return host_port_string(engine_settings().nav_host(), engine_settings().nav_port());
  } catch (...) {
    return nullptr;
  }
}

FX_API int fx_set_default_serve_address(const char* address) {
  try {
    if (!address) return 0;
    const auto hp = tavrin::parse_host_port(address);
    if (!hp) return 0;
    engine_settings().set_default_proxy(hp->host, hp->port == 0 ? 8080 : hp->port);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API char* fx_get_default_serve_address(void) {
  try {
    return host_port_string(engine_settings().default_proxy_host(),
                            engine_settings().default_proxy_port());
  } catch (...) {
    return nullptr;
  }
}

FX_API int fx_set_signin_address(const char* address) {
  try {
    if (!address || !*address) return 0;
    engine_settings().set_signin_address(address);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API char* fx_get_signin_address(void) {
  try {
    return new_string(engine_settings().signin_address());
  } catch (...) {
    return nullptr;
  }
}

FX_API int fx_set_ca_file(const char* path) {
  try {
    if (!path) return 0;
    engine_settings().set_ca_file(path);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API char* fx_get_ca_file(void) {
  try {
    return new_string(engine_settings().ca_file());
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
