#include "roster/contact_id.h"

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tavrin::contacts {

long to_int32(const char* s) {
  if (s == nullptr) return 0;
  errno = 0;
  long long v = std::strtoll(s, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<long>(v);
}

long contact_id_from_uri(const char* uri) {
  if (uri == nullptr) return 0;
  if (const char* at = std::strchr(uri, '@')) {
    std::size_t start = std::strstr(uri, "sip:PG") != nullptr ? 6 : 4;
    std::size_t end = static_cast<std::size_t>(at - uri);
    // An '@' inside the prefix leaves no digits (and nothing to read before it).
    if (end <= start) return 0;
    return to_int32(std::string(uri + start, end - start).c_str());
  }
  if (std::strstr(uri, "tel:") != nullptr) {
    // Drop "tel:" and the mobile number's leading digit.
    if (std::strlen(uri) <= 5) return 0;
    std::string digits(uri + 5);
    if (digits[0] == '3') {
      digits[0] = '1';
    } else if (digits[0] == '5') {
      digits[0] = '1';
      if (digits.size() > 1) {
        switch (digits[1]) {
          case '1':
            digits[1] = '1';
            break;
          case '2':
            digits[1] = '2';
            break;
          case '7':
            digits[1] = '3';
            break;
          case '8':
            digits[0] = '2';
            digits[1] = '0';
            break;
          case '9':
            digits[0] = '0';
            digits[1] = '0';
            break;
          default:
            digits[1] = '0';
            break;
        }
      }
    }
    return to_int32(digits.c_str());
  }
  return 0;
}

bool is_pc_user_id(long id) {
  return id < 1000000000 && (id >= 100000000 || id <= 10000000);
}

bool is_qun_id(long id) {
  return id <= 10000000 && id != 10000;
}

std::string display_number(long id) {
  char buf[48];
  if (is_pc_user_id(id)) {
    std::snprintf(buf, sizeof buf, "%ld", id);
    return buf;
  }
  long q = id / 100000000;
  long r = id % 100000000;
  int prefix;
  switch (q) {
    case 0:
      prefix = 159;
      break;
    case 10:
      prefix = 150;
      break;
    case 11:
      prefix = 151;
      break;
    case 12:
      prefix = 152;
      break;
    case 13:
      prefix = 157;
      break;
    case 20:
      prefix = 158;
      break;
    default:
      prefix = 130 + static_cast<int>(q % 10);
      break;
  }
  std::snprintf(buf, sizeof buf, "%d%08ld", prefix, r);
  return buf;
}

}  // namespace tavrin::contacts
