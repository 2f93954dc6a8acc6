#include "session/mobile_resolver.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "roster/contact_id.h"
#include "roster/payload_parsers.h"
#include "roster/xml_escape.h"
#include "sipc/engine_settings.h"
#include "sipc/proxy_settings.h"
#include "sipc/server_connect.h"
#include "sipc/stream_cutter.h"
#include "sipc/tcp_socket.h"

namespace tavrin {

namespace {

std::atomic<int64_t> g_limit_ms{0};

std::chrono::milliseconds time_limit() {
  const int64_t ms = g_limit_ms.load();
  return ms > 0 ? std::chrono::milliseconds(ms) : std::chrono::milliseconds(kResolveTimeLimit);
}

bool all_digits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

}  // namespace

Resolved resolve_login_id(const std::string& login_id, std::string* user_id) {
  if (login_id.size() == 9) {
    *user_id = login_id;
    return Resolved::ok;
  }
  if (login_id.size() != 11) return Resolved::unknown;

  const auto stream = open_server_stream(proxy_settings().active());
  if (!stream) return Resolved::network_failure;
  const int fd = stream->fd();
  const sipc_origin origin{engine_settings().sip_domain(), login_id};
  sipc_message request = sipc_message::request(
      origin, "S", 1, 1,
      "<args><user mobile-no=\"" + contacts::xml_escape(login_id.c_str()) + "\" /></args>");
  request.add_header("N", "GetUserInfo");

  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + time_limit();
  auto left_ms = [&] {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
  };
  Resolved result = Resolved::network_failure;
  sipc_stream_cutter cutter;
  const std::string text = request.serialise();
  const bool sent = stream->tls()
                        ? stream->write(text.data(), text.size(), true) == ssize_t(text.size())
                        : send_all(fd, text, left_ms());
  if (sent) {
    char piece[4096];
    for (;;) {
      const int left = left_ms();
      if (left == 0) break;
      pollfd p{fd, POLLIN, 0};
      if (!stream->has_pending() && ::poll(&p, 1, left) <= 0) continue;
      const ssize_t n = stream->read(piece, sizeof piece);
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      if (n <= 0) break;
      cutter.append(piece, size_t(n));
      sipc_message answer;
      const sipc_cut cut = cutter.take(answer);
      if (cut == sipc_cut::reset) break;
      if (cut == sipc_cut::incomplete) continue;
      if (!answer.is_response() || answer.call_id() != 1) continue;
      result = Resolved::unknown;
      if (answer.status() == 200) {
        const auto info = contacts::parse_own_user_answer(answer.body().c_str());
        const long id = info && info->uri ? contacts::contact_id_from_uri(info->uri->c_str()) : 0;
        const std::string text = std::to_string(id);
        if (contacts::is_pc_user_id(id) && text.size() == 9 && all_digits(text)) {
          *user_id = text;
          result = Resolved::ok;
        }
      }
      break;
    }
  }
  return result;
}

void set_resolve_time_limit(std::chrono::milliseconds limit) {
  g_limit_ms = limit.count();
}

}  // namespace tavrin
