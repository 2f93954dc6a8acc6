#include "session/navigation.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "sipc/engine_settings.h"
#include "sipc/proxy_http.h"
#include "sipc/server_settings.h"
#include "sipc/tcp_socket.h"

namespace tavrin {

namespace {

constexpr const char* kClientDescription =
    "<client type=\"PC\" version=\"2.3.0210\" platform=\"W5.1\" /><servers version=\"0\" />"
    "<service-no version=\"0\" /><parameters version=\"0\" /><hints version=\"0\" />"
    "<http-applications version=\"0\" /><client-config version=\"0\" /></config>";
constexpr size_t kPiece = 3071;

std::atomic<int64_t> g_limit_ms{0};

std::chrono::milliseconds time_limit() {
  const int64_t ms = g_limit_ms.load();
  return ms > 0 ? std::chrono::milliseconds(ms) : std::chrono::milliseconds(kNavigationTimeLimit);
}

bool name_is(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != name[i]) return false;
  }
  return true;
}

// The Content-Length of a head: nothing when absent, -1 when unusable
// (not a number, too large, or given twice with different values).
std::optional<long long> content_length(std::string_view head) {
  std::optional<long long> found;
  size_t at = head.find("\r\n");
  while (at != std::string_view::npos) {
    const size_t start = at + 2;
    const size_t end = head.find("\r\n", start);
    const std::string_view line =
        head.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    at = end;
    if (!name_is(line, "content-length")) continue;
    std::string_view value = line.substr(15);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
      value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    if (value.empty()) return -1;
    long long n = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return -1;
      n = n * 10 + (c - '0');
      if (n > (long long)kNavigationReplyLimit) return -1;
    }
    if (found && *found != n) return -1;
    found = n;
  }
  return found;
}

}  // namespace

std::string navigation_request(std::string_view login_id, std::string_view nav_host) {
  std::string body;
  if (login_id.size() == 9)
    body = "<config><user sid=\"" + std::string(login_id) + "\" />";
  else if (login_id.size() == 11)
    body = "<config><user mobile-no=\"" + std::string(login_id) + "\" />";
  else
    return {};
  body += kClientDescription;
  return "POST /nav/getsystemconfig.aspx HTTP/1.1\r\n"
         "User-Agent: OXA2.0/PC 2.3.0210\r\n"
         "Accept: \r\n"
         "Connection: Close\r\n"
         "Content-Type: \r\n"
         "Host: " +
         std::string(nav_host) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
         body;
}

NavReply judge_navigation_reply(std::string_view reply, bool closed, std::string* body) {
  if (reply.size() > kNavigationReplyLimit) return NavReply::failed;
  // The status line can be judged as soon as it is whole.
  const size_t line_end = reply.find("\r\n");
  if (line_end == std::string_view::npos) return closed ? NavReply::failed : NavReply::incomplete;
  const int status = http_reply_status(reply.substr(0, line_end));
  if (status < 200 || status > 299) return NavReply::failed;
  const size_t head_end = reply.find("\r\n\r\n");
  if (head_end == std::string_view::npos) return closed ? NavReply::failed : NavReply::incomplete;
  const std::string_view rest = reply.substr(head_end + 4);
  const auto length = content_length(reply.substr(0, head_end));
  if (length && *length < 0) return NavReply::failed;
  if (length) {
    if (rest.size() < size_t(*length)) return closed ? NavReply::failed : NavReply::incomplete;
    body->assign(rest.substr(0, size_t(*length)));
    return NavReply::complete;
  }
  if (!closed) return NavReply::incomplete;  // the body ends where the server closes
  body->assign(rest);
  return NavReply::complete;
}

std::optional<std::string> extract_sipc_proxy(std::string_view body) {
  static constexpr std::string_view kTag = "sipc-proxy";
  const size_t first = body.find(kTag);
  if (first == std::string_view::npos) return std::nullopt;
  const size_t start = first + kTag.size() + 1;  // past "sipc-proxy>"
  if (start > body.size()) return std::nullopt;
  const size_t second = body.find(kTag, start);
  if (second == std::string_view::npos || second < start + 2) return std::nullopt;
  return std::string(body.substr(start, second - 2 - start));  // up to "</"
}

int get_sipc_proxy(const char* login_id, int* network_failure) {
  int ignored;
  if (!network_failure) network_failure = &ignored;
  *network_failure = 0;
  const std::string request = navigation_request(
      login_id ? std::string_view(login_id) : std::string_view(), engine_settings().nav_host());
  if (request.empty()) return 0;
  *network_failure = 1;

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + time_limit();
  auto left_ms = [&] {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
  };
  const int fd = tcp_connect(engine_settings().nav_host(), engine_settings().nav_port(), left_ms());
  if (fd < 0) return 0;
  std::string reply, body;
  NavReply verdict = NavReply::incomplete;
  if (send_all(fd, request, left_ms())) {
    char piece[kPiece];
    while (verdict == NavReply::incomplete) {
      const int left = left_ms();
      if (left == 0) break;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, left) <= 0) continue;  // time-out (or EINTR): the loop re-checks
      const ssize_t n = ::recv(fd, piece, kPiece, 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      const bool closed = n <= 0;
      if (n > 0) reply.append(piece, size_t(n));
      verdict = judge_navigation_reply(reply, closed, &body);
      if (closed) break;
    }
  }
  ::close(fd);
  if (verdict != NavReply::complete) return 0;

  *network_failure = 0;
  if (auto text = extract_sipc_proxy(body)) {
    server_settings().set_proxy_text(*text);
    if (auto address = parse_host_port(*text))
      server_settings().set_address(address->host, address->port);
  }
  return 1;
}

void set_navigation_time_limit(std::chrono::milliseconds limit) {
  g_limit_ms = limit.count();
}

}  // namespace tavrin
