// Fuzz harness for what proxies and the navigation server send back: the
// navigation reply judge and its sipc-proxy extraction, the proxy status
// line, and the host:port reader. The first byte picks "closed".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "session/navigation.h"
#include "sipc/proxy_http.h"
#include "sipc/server_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool closed = data[0] & 1;
  const std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string body;
  if (tavrin::judge_navigation_reply(reply, closed, &body) == tavrin::NavReply::complete) {
    if (auto text = tavrin::extract_sipc_proxy(body)) (void)tavrin::parse_host_port(*text);
    if (auto text = tavrin::extract_sipc_tls_proxy(body)) (void)tavrin::parse_host_port(*text);
  }
  (void)tavrin::http_reply_status(reply);
  (void)tavrin::parse_host_port(reply);
  (void)tavrin::parse_server_address(reply);
  return 0;
}
