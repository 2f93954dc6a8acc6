// Uris of the service: "sip:NUMBER@DOMAIN;p=PORT" for a user, "sip:PGNUMBER@DOMAIN"
// for a group chat, "tel:MOBILE" for a phone. Parsing accepts any domain and
// suffix; building uses the service's domain. Pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::server {

struct Uri {
  enum class Kind { kNone, kUser, kGroup, kTel };
  Kind kind = Kind::kNone;
  long number = 0;     // Tavrin number or group number
  std::string mobile;  // for tel:
};

Uri parseUri(std::string_view text);
std::string userUri(long number, std::string_view domain);
std::string groupUri(long number, std::string_view domain);
inline std::string telUri(std::string_view mobile) {
  return "tel:" + std::string(mobile);
}
// 9-digit Tavrin numbers (100000000 ..999999999).
inline bool isTavrinNumber(long n) {
  return n >= 100000000 && n <= 999999999;
}
// An 11-digit mobile number beginning with 1.
bool isMobileNumber(std::string_view text);

}  // namespace tavrin::server
