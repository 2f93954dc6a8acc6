#include "sipc/proxy_socks5.h"

#include "sipc/tcp_socket.h"

namespace tavrin {

namespace {

constexpr int kReadLimitMs = 10000;
constexpr char kVersion = 0x05;
constexpr char kNoAuth = 0x00;
constexpr char kUserPassword = 0x02;

bool authenticate(int fd, const std::string& user, const std::string& password) {
  // Each field carries its length in one byte: longer values cannot be sent.
  if (user.size() > 255 || password.size() > 255) return false;
  std::string request(1, '\x01');
  request += char(user.size());
  request += user;
  request += char(password.size());
  request += password;
  char reply[2];
  return send_all(fd, request, kReadLimitMs) && read_exact(fd, reply, 2, kReadLimitMs) &&
         reply[1] == 0x00;
}

// Reads the rest of the connect reply: its length depends on the address type.
bool read_bound_address(int fd, char address_type) {
  char skip[256 + 2];
  size_t length;
  switch (address_type) {
    case 0x01:
      length = 4 + 2;
      break;
    case 0x04:
      length = 16 + 2;
      break;
    case 0x03: {
      char n;
      if (!read_exact(fd, &n, 1, kReadLimitMs)) return false;
      length = size_t(static_cast<unsigned char>(n)) + 2;
      break;
    }
    default:
      return false;
  }
  return read_exact(fd, skip, length, kReadLimitMs);
}

}  // namespace

bool socks5_handshake(int fd, const ProxyConfig& proxy, const std::string& host, int port) {
  char reply[4];
  if (proxy.has_credentials()) {
    if (!send_all(fd, std::string("\x05\x02\x00\x02", 4), kReadLimitMs)) return false;
    if (!read_exact(fd, reply, 2, kReadLimitMs) || reply[0] != kVersion) return false;
    if (reply[1] == kUserPassword) {
      if (!authenticate(fd, *proxy.user_name, *proxy.password)) return false;
    } else if (reply[1] != kNoAuth) {
      return false;
    }
  } else {
    if (!send_all(fd, std::string("\x05\x01\x00", 3), kReadLimitMs)) return false;
    if (!read_exact(fd, reply, 2, kReadLimitMs) || reply[0] != kVersion || reply[1] != kNoAuth)
      return false;
  }
  if (host.size() > 255 || port <= 0 || port > 65535) return false;
  std::string request("\x05\x01\x00\x03", 4);
  request += char(host.size());
  request += host;
  request += char((port >> 8) & 0xff);
  request += char(port & 0xff);
  if (!send_all(fd, request, kReadLimitMs)) return false;
  if (!read_exact(fd, reply, 4, kReadLimitMs) || reply[0] != kVersion || reply[1] != 0x00)
    return false;
  return read_bound_address(fd, reply[3]);
}

}  // namespace tavrin
