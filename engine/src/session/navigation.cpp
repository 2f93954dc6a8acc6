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
  // The TLS address when the service names one; the plain one only for a
  // front end that did not ask for TLS (it would be spoken to over TLS).
  const auto tls_text = extract_sipc_tls_proxy(body);
  const auto tls_address = tls_text ? parse_host_port(*tls_text) : std::nullopt;
  if (auto text = extract_sipc_proxy(body)) {
    server_settings().set_proxy_text(*text);
    if (auto address = parse_host_port(*text); address && !tls_address)
      server_settings().set_address(address->host, address->port);
  }
  if (tls_address) server_settings().set_address(tls_address->host, tls_address->port, true);
  return 1;
}

void set_navigation_time_limit(std::chrono::milliseconds limit) {
  g_limit_ms = limit.count();
}

}  // namespace tavrin
