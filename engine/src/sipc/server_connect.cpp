#include "sipc/server_connect.h"

#include <unistd.h>

#include "sipc/engine_settings.h"
#include "sipc/proxy_http.h"
#include "sipc/proxy_socks5.h"
#include "sipc/server_settings.h"
#include "sipc/socket_error.h"
#include "sipc/tcp_socket.h"
#include "sipc/tls_client.h"

namespace tavrin {

namespace {
constexpr int kFallbackPort = 8080;
}

Destination server_destination() {
  Destination d{server_settings().host(), server_settings().port(),
                server_settings().tls() || server_settings().tls_required()};
  if (d.host.empty()) {
    d.host = engine_settings().default_proxy_host();
    d.port = engine_settings().default_proxy_port();
  }
  if (d.port == 0) d.port = kFallbackPort;
  return d;
}

namespace {

int open_socket_to(const Destination& to, const std::optional<ProxyConfig>& proxy) {
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

}  // namespace

int open_server_socket(const std::optional<ProxyConfig>& proxy) {
  return open_socket_to(server_destination(), proxy);
}

std::shared_ptr<Socket> open_server_stream(const std::optional<ProxyConfig>& proxy,
                                           std::string* detail) {
  note_connect_failure(0);
  const Destination to = server_destination();
  const int fd = open_socket_to(to, proxy);
  if (fd < 0) return nullptr;
  if (!to.tls) return std::make_shared<Socket>(fd);
  int failure = 0;
  std::string words;
  SslPtr ssl = tls_handshake(fd, to.host, kConnectLimitMs, &failure, &words);
  if (!ssl) {
    ::close(fd);
    note_connect_failure(failure);
    engine_log("TLS to %s:%d failed: %s", to.host.c_str(), to.port, words.c_str());
    if (detail) *detail = words;
    return nullptr;
  }
  return std::make_shared<Socket>(fd, std::move(ssl));
}

}  // namespace tavrin
