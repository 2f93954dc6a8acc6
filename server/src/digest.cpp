#include "digest.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <random>

namespace tavrin::server {

namespace {

bool md5(const void* data, size_t length, unsigned char out[16]) {
  unsigned int n = 0;
  return EVP_Digest(data, length, out, &n, EVP_md5(), nullptr) == 1 && n == 16;
}

bool unhex(std::string_view hex, unsigned char out[16]) {
  if (hex.size() != 32) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (size_t i = 0; i < 16; ++i) {
    int hi = nibble(hex[2 * i]), lo = nibble(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<unsigned char>(hi << 4 | lo);
  }
  return true;
}

}  // namespace

std::string hexUpper(const unsigned char* bytes, size_t length) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out(length * 2, '0');
  for (size_t i = 0; i < length; ++i) {
    out[2 * i] = digits[bytes[i] >> 4];
    out[2 * i + 1] = digits[bytes[i] & 15];
  }
  return out;
}

std::string md5Hex(std::string_view text) {
  unsigned char d[16] = {};
  md5(text.data(), text.size(), d);
  return hexUpper(d, 16);
}

std::string digestKeyHex(std::string_view id, std::string_view domain, std::string_view password) {
  std::string text;
  text.append(id).append(":").append(domain).append(":").append(password);
  return md5Hex(text);
}

std::string digestResponse(std::string_view keyHex, std::string_view id, std::string_view nonce,
                           std::string_view cnonce) {
  unsigned char key[16];
  if (!unhex(keyHex, key)) return {};
  std::string first(reinterpret_cast<const char*>(key), 16);
  first.append(":").append(nonce).append(":").append(cnonce);
  std::string h1 = md5Hex(first);
  std::string h2 = md5Hex(std::string("REGISTER:").append(id));
  std::string last = h1;
  last.append(":").append(nonce).append(":").append(h2);
  return md5Hex(last);
}

bool quotedParam(std::string_view header, std::string_view name, std::string& out) {
  std::string key(name);
  key.append("=\"");
  size_t at = header.find(key);
  // Require a parameter boundary so that "cnonce" is not read as "nonce".
  while (at != std::string_view::npos && at > 0 && header[at - 1] != ' ' && header[at - 1] != ',')
    at = header.find(key, at + 1);
  if (at == std::string_view::npos) return false;
  size_t begin = at + key.size();
  size_t end = header.find('"', begin);
  if (end == std::string_view::npos) return false;
  out.assign(header.substr(begin, end - begin));
  return true;
}

std::string newNonce() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) {
    std::random_device rd;
    for (auto& b : bytes) b = static_cast<unsigned char>(rd());
  }
  return hexUpper(bytes, sizeof bytes);
}

}  // namespace tavrin::server
