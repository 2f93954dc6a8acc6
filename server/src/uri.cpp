#include "uri.h"

#include <charconv>

namespace tavrin::server {

namespace {

bool digitsToLong(std::string_view s, long& out) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc();
}

}  // namespace

bool isMobileNumber(std::string_view text) {
  if (text.size() != 11 || text[0] != '1') return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

Uri parseUri(std::string_view text) {
  Uri u;
  if (text.substr(0, 4) == "tel:") {
    std::string_view m = text.substr(4);
    if (isMobileNumber(m)) {
      u.kind = Uri::Kind::kTel;
      u.mobile.assign(m);
    }
    return u;
  }
  if (text.substr(0, 4) != "sip:") return u;
  std::string_view rest = text.substr(4);
  size_t at = rest.find('@');
  std::string_view digits = rest.substr(0, at);
  bool group = digits.substr(0, 2) == "PG";
  if (group) digits.remove_prefix(2);
  long n = 0;
  if (!digitsToLong(digits, n)) return u;
  if (group) {
    if (n <= 0 || n > 10000000) return u;
    u.kind = Uri::Kind::kGroup;
  } else {
    if (!isTavrinNumber(n)) return u;
    u.kind = Uri::Kind::kUser;
  }
  u.number = n;
  return u;
}

std::string userUri(long number, std::string_view domain) {
  std::string s = "sip:" + std::to_string(number);
  s.append("@").append(domain).append(";p=1");
  return s;
}

std::string groupUri(long number, std::string_view domain) {
  std::string s = "sip:PG" + std::to_string(number);
  s.append("@").append(domain);
  return s;
}

}  // namespace tavrin::server
