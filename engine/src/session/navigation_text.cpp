#include "session/navigation_text.h"

namespace tavrin {

namespace {

constexpr const char* kClientDescription =
    "<client type=\"PC\" version=\"2.3.0210\" platform=\"W5.1\" /><servers version=\"0\" />"
    "<service-no version=\"0\" /><parameters version=\"0\" /><hints version=\"0\" />"
    "<http-applications version=\"0\" /><client-config version=\"0\" /></config>";

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

namespace {

// The text after the first "TAG>" up to the next "</TAG" (the first two
// places the name occurs), or nothing.
std::optional<std::string> element_text(std::string_view body, std::string_view tag) {
  const size_t first = body.find(tag);
  if (first == std::string_view::npos) return std::nullopt;
  const size_t start = first + tag.size() + 1;  // past "TAG>"
  if (start > body.size()) return std::nullopt;
  const size_t second = body.find(tag, start);
  if (second == std::string_view::npos || second < start + 2) return std::nullopt;
  return std::string(body.substr(start, second - 2 - start));  // up to "</"
}

}  // namespace

std::optional<std::string> extract_sipc_proxy(std::string_view body) {
  return element_text(body, "sipc-proxy");
}

std::optional<std::string> extract_sipc_tls_proxy(std::string_view body) {
  return element_text(body, "sipc-tls-proxy");
}

}  // namespace tavrin
