#include "engine_setup.h"

#include <fstream>

#include "libtavrin.h"

namespace tavrin::cli {

bool apply_connection_options(const Options& o, std::string* error) {
  const auto fail = [error](const std::string& what) {
    *error = what;
    return false;
  };
  if (o.domain && fx_set_sip_domain(o.domain->c_str()) == 0) return fail("unusable --domain");
  if (o.nav_host && fx_set_navigation_address(o.nav_host->c_str(), o.nav_port) == 0)
    return fail("unusable --nav");
  if (o.signin && fx_set_signin_address(o.signin->c_str()) == 0) return fail("unusable --signin");
  if (o.ca_file && !std::ifstream(*o.ca_file).good())
    return fail("cannot read --ca file " + *o.ca_file);
  if (o.ca_file && fx_set_ca_file(o.ca_file->c_str()) == 0) return fail("unusable --ca");
  if (o.server) {
    const std::string address = (o.tls ? "tls://" : "") + *o.server;
    if (fx_set_serve_address(address.c_str()) == 0) return fail("unusable --server");
  } else {
    fx_set_unknow_serve_address();
  }
  if (o.proxy) {
    ProxyUrl p;
    if (!parse_proxy_url(*o.proxy, &p, error)) return false;
    fx_proxy proxy{};
    proxy.host = p.host.data();
    proxy.port = p.port.data();
    proxy.user_name = p.user.empty() ? nullptr : p.user.data();
    proxy.password = p.user.empty() ? nullptr : p.password.data();
    proxy.type = p.type;
    if (fx_set_proxy(&proxy) == 0) return fail("unusable --proxy");
    fx_setProxyEnabled(1);
  }
  if (o.status != 0) fx_set_login_status(o.status);
  return true;
}

}  // namespace tavrin::cli
