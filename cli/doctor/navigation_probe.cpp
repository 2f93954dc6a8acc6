#include "doctor/navigation_probe.h"

#include "doctor/codec.h"
#include "doctor/proxy_probe.h"

namespace tavrin::cli::doctor {

namespace {

// The largest answer read; the service's configuration is a few KiB.
constexpr size_t kAnswerLimit = size_t{1} << 20;
constexpr int kFallbackPort = 8080;

bool is_content_length(std::string_view line) {
  constexpr std::string_view kName = "content-length:";
  if (line.size() < kName.size()) return false;
  for (size_t i = 0; i < kName.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != kName[i]) return false;
  }
  return true;
}

// The head's Content-Length: none when absent, -1 when unusable.
std::optional<long long> content_length(std::string_view head) {
  std::optional<long long> found;
  for (size_t at = head.find("\r\n"); at != std::string_view::npos;) {
    const size_t start = at + 2;
    at = head.find("\r\n", start);
    const std::string_view line =
        head.substr(start, at == std::string_view::npos ? at : at - start);
    if (!is_content_length(line)) continue;
    std::string_view value = line.substr(15);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
      value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    long long n = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return -1;
      n = n * 10 + (c - '0');
      if (n > (long long)kAnswerLimit) return -1;
    }
    if (value.empty() || (found && *found != n)) return -1;
    found = n;
  }
  return found;
}

}  // namespace

std::optional<Address> parse_address(std::string_view text) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  Address a;
  a.host = std::string(text.substr(0, colon));
  long port = 0;
  for (size_t i = colon + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    port = port * 10 + (text[i] - '0');
    if (port > 65535) return std::nullopt;
  }
  a.port = port == 0 ? kFallbackPort : int(port);
  return a;
}

std::optional<std::string> navigation_body(std::string_view answer, bool closed, bool* bad) {
  *bad = false;
  const size_t head_end = answer.find("\r\n\r\n");
  if (head_end == std::string_view::npos) return std::nullopt;
  const std::string_view rest = answer.substr(head_end + 4);
  const auto length = content_length(answer.substr(0, head_end));
  if (length && *length < 0) {
    *bad = true;
    return std::nullopt;
  }
  if (length) {
    if (rest.size() < size_t(*length)) return std::nullopt;
    return std::string(rest.substr(0, size_t(*length)));
  }
  if (!closed) return std::nullopt;  // the body ends where the server closes
  return std::string(rest);
}

bool ask_navigation(Connection& c, const std::string& request, Deadline deadline, NavAnswer* answer,
                    std::string* why) {
  if (!c.send_all(request, deadline, why)) return false;
  bool closed = false, bad = false;
  std::optional<std::string> body;
  std::string& got = c.received();
  while (true) {
    // The status line decides as soon as it is whole.
    if (answer->status.empty() && got.find("\r\n") != std::string::npos) {
      answer->status = http_status_of(got);
      if (answer->status.empty()) {
        *why = "the answer is no HTTP status line: \"" + got.substr(0, got.find("\r\n")) + "\"";
        return false;
      }
      const int code = http_status_code(answer->status);
      if (code < 200 || code > 299) {
        *why = "the navigation server answered " + answer->status;
        return false;
      }
    }
    if (!answer->status.empty()) body = navigation_body(got, closed, &bad);
    if (bad) {
      *why = answer->status + ", but its Content-Length cannot be used";
      return false;
    }
    if (body) break;
    if (closed) {
      *why = got.empty()
                 ? "the navigation server closed the connection without an answer"
                 : "the navigation server closed the connection in the middle of its answer";
      return false;
    }
    if (got.size() > kAnswerLimit) {
      *why = "the answer runs over 1 MiB";
      return false;
    }
    switch (c.receive(deadline)) {
      case Connection::Got::kData:
        break;
      case Connection::Got::kClosed:
        closed = true;
        break;
      case Connection::Got::kTimeout:
        *why = deadline.no_answer() + " from the navigation server";
        return false;
      case Connection::Got::kError:
        *why = c.error();
        return false;
    }
  }
  answer->sipc_proxy = extract_sipc_proxy(*body);
  answer->sipc_tls_proxy = extract_sipc_tls_proxy(*body);
  return true;
}

}  // namespace tavrin::cli::doctor
