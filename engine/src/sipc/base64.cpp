#include "sipc/base64.h"

#include <cstdint>
#include <cstring>

namespace tavrin {

std::string base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const std::size_t n = bytes.size();
  std::string out;
  out.reserve((n + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8) | p[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (n - i == 1) {
    uint32_t v = uint32_t{p[i]} << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (n - i == 2) {
    uint32_t v = (uint32_t{p[i]} << 16) | (uint32_t{p[i + 1]} << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string base64(const char* bytes, std::size_t length) {
  if (bytes == nullptr) return {};
  if (length == 0) length = std::strlen(bytes);
  return base64(std::string_view(bytes, length));
}

}  // namespace tavrin
