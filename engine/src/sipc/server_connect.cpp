#include "sipc/server_connect.h"

#include <unistd.h>

#include "sipc/engine_settings.h"
#include "sipc/proxy_http.h"
#include "sipc/proxy_socks5.h"
#include "sipc/server_settings.h"
#include "sipc/tcp_socket.h"

namespace tavrin {

namespace {
constexpr int kFallbackPort = 8080;
}

Destination server_destination() {
  Destination d{server_settings().host(), server_settings().port()};
  if (d.host.empty()) {
    d.host = engine_settings().default_proxy_host();
    d.port = engine_settings().default_proxy_port();
  }
  if (d.port == 0) d.port = kFallbackPort;
  return d;
}

int open_server_socket(const std::optional<ProxyConfig>& proxy) {
  const Destination to = server_destination();
  if (!proxy || proxy->type == FX_PROXY_NONE) {
    return tcp_connect(to.host, to.port, kConnectLimitMs);
  }
  if (proxy->type != FX_PROXY_HTTP && proxy->type != FX_PROXY_SOCKS5) return -1;
  const int fd = tcp_connect(proxy->host, proxy->port_number(), kConnectLimitMs);
  if (fd < 0) return -1;
  const bool ok = proxy->type == FX_PROXY_HTTP
                      ? http_connect_handshake(fd, *proxy, to.host, to.port)
                      : socks5_handshake(fd, *proxy, to.host, to.port);
  if (!ok) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace tavrin
