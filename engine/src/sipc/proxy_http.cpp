#include "sipc/proxy_http.h"

#include <cstdio>

#include "sipc/base64.h"
#include "sipc/tcp_socket.h"

namespace tavrin {

namespace {
constexpr int kReadLimitMs = 10000;
bool digit(char c) {
  return c >= '0' && c <= '9';
}
}  // namespace

std::string http_connect_request(const ProxyConfig& proxy, const std::string& host, int port) {
  std::string text = "CONNECT " + host + ":" + std::to_string(port) + " HTTP/1.1\r\n";
  if (proxy.has_credentials())
    text += "Proxy-Authorization: Basic " + base64(*proxy.user_name + ":" + *proxy.password) +
            "\r\n\r\n";
  else
    text += "Proxy-Connection: Keep-Alive\r\n\r\n";
  return text;
}

int http_reply_status(std::string_view reply) {
  if (reply.substr(0, 5) != "HTTP/") return -1;
  const size_t line_end = reply.find_first_of("\r\n");
  const std::string_view line = reply.substr(0, line_end);
  const size_t space = line.find(' ');
  if (space == std::string_view::npos || line.size() < space + 4) return -1;
  const std::string_view code = line.substr(space + 1, 3);
  if (!digit(code[0]) || !digit(code[1]) || !digit(code[2])) return -1;
  if (line.size() > space + 4 && line[space + 4] != ' ') return -1;  // "2000" is no status
  return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
}

bool http_connect_handshake(int fd, const ProxyConfig& proxy, const std::string& host, int port) {
  if (!send_all(fd, http_connect_request(proxy, host, port), kReadLimitMs)) return false;
  // Read the whole head: a part left unread would open the SIP-C stream.
  // The reply of a tunnel ends with its blank line; the server speaks only
  // after our first request, so nothing of the tunnel is read here.
  std::string reply;
  char buf[kHttpReplyLimit];
  while (reply.find("\r\n\r\n") == std::string::npos) {
    if (reply.size() >= kHttpReplyLimit) return false;
    const size_t n = wait_read(fd, buf, kHttpReplyLimit - reply.size(), kReadLimitMs);
    if (n == 0) break;  // closed or silent: judge what arrived
    reply.append(buf, n);
  }
  const int status = http_reply_status(reply);
  return status >= 200 && status <= 299 && reply.find("\r\n\r\n") != std::string::npos;
}

}  // namespace tavrin
