// Proxy settings, the CONNECT request text, and proxy replies that must
// fail the handshake: hostile status lines, lengths and SOCKS5 answers,
// served by small loopback fakes.
#include "sipc/proxy_settings.h"

#include <gtest/gtest.h>

#include <thread>

#include "libtavrin.h"
#include "net_helpers.h"
#include "sipc/base64.h"
#include "sipc/proxy_http.h"
#include "sipc/proxy_socks5.h"
#include "sipc/tcp_socket.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

TEST(ProxySettings, SetKeepsACopyAndChecksItsArguments) {
  proxy_settings().reset();
  char host[] = "10.0.0.1", port[] = "3128", user[] = "u", pass[] = "p";
  fx_proxy p{host, port, user, pass, FX_PROXY_HTTP};
  ASSERT_EQ(fx_set_proxy(&p), 1);
  EXPECT_EQ(fx_proxyEnabled(), 1);
  host[0] = '9';  // the engine holds its own copy
  const fx_proxy* stored = fx_get_proxy();
  ASSERT_NE(stored, nullptr);
  EXPECT_STREQ(stored->host, "10.0.0.1");
  EXPECT_STREQ(stored->user_name, "u");
  EXPECT_EQ(stored->type, FX_PROXY_HTTP);

  fx_proxy bad_type{host, port, nullptr, nullptr, 5};
  fx_proxy no_host{nullptr, port, nullptr, nullptr, 1};
  fx_proxy no_port{host, nullptr, nullptr, nullptr, 1};
  EXPECT_EQ(fx_set_proxy(&bad_type), 0);
  EXPECT_EQ(fx_set_proxy(&no_host), 0);
  EXPECT_EQ(fx_set_proxy(&no_port), 0);
  EXPECT_EQ(fx_set_proxy(nullptr), 0);
  EXPECT_STREQ(fx_get_proxy()->host, "10.0.0.1");  // unchanged
  EXPECT_EQ(fx_proxyEnabled(), 1);

  fx_proxy none{host, port, nullptr, nullptr, FX_PROXY_NONE};
  ASSERT_EQ(fx_set_proxy(&none), 1);  // stored, and the proxy is off
  EXPECT_EQ(fx_proxyEnabled(), 0);
  EXPECT_EQ(fx_get_proxy()->type, FX_PROXY_NONE);
  fx_setProxyEnabled(1);
  EXPECT_EQ(fx_proxyEnabled(), 1);
  proxy_settings().reset();
}

TEST(HttpConnect, RequestCarriesBasicAuthorisationOnlyWithBothCredentials) {
  ProxyConfig both;
  both.user_name = "alice";
  both.password = "s3cret";
  EXPECT_EQ(http_connect_request(both, "10.1.2.3", 8080),
            "CONNECT 10.1.2.3:8080 HTTP/1.1\r\nProxy-Authorization: Basic " +
                base64(std::string_view("alice:s3cret")) + "\r\n\r\n");
  EXPECT_EQ(base64(std::string_view("alice:s3cret")), "YWxpY2U6czNjcmV0");
  ProxyConfig one;
  one.user_name = "alice";
  EXPECT_EQ(http_connect_request(one, "10.1.2.3", 8080),
            "CONNECT 10.1.2.3:8080 HTTP/1.1\r\nProxy-Connection: Keep-Alive\r\n\r\n");
}

TEST(HttpConnect, ReplyStatusLine) {
  const struct {
    std::string reply;
    int status;
  } table[] = {
      {"HTTP/1.1 200 Connection established\r\n\r\n", 200},
      {"HTTP/1.0 299\r\n\r\n", 299},
      {"HTTP/1.1 407 Proxy Authentication Required\r\n", 407},
      {"HTTP/1.1 2000 OK\r\n", -1},    // four digits
      {"HTTP/1.1 20\r\n", -1},         // two digits
      {"HTTP/1.1 2x0 OK\r\n", -1},     // not a number
      {"HTTP/1.1200 OK\r\n", -1},      // the first space is before "OK"
      {"HTTP/1.1\r\n200 OK\r\n", -1},  // no space on the status line
      {"SIP-C/2.0 200 OK\r\n", -1},    // not an HTTP reply
      {std::string("HTTP/1.1 2\0\0 OK\r\n", 17), -1},
      {"", -1},
      {"HTTP/1.1 -99 OK\r\n", -1},
  };
  for (const auto& row : table) EXPECT_EQ(http_reply_status(row.reply), row.status) << row.reply;
}

// A fake proxy for one connection: reads the client's handshake step by
// step and answers with the scripted bytes.
class FakeProxy {
 public:
  using Script = std::function<void(int fd)>;
  explicit FakeProxy(Script script)
      : thread_([this, script] {
          const int fd = listener_.accept(10000);
          if (fd < 0) return;
          script(fd);
          std::string rest;
          read_until(fd, rest, "\x01never", 200);  // a moment for the client, then close
          ::close(fd);
        }) {}
  ~FakeProxy() { thread_.join(); }
  int port() const { return listener_.port(); }

 private:
  Listener listener_;
  std::thread thread_;
};

bool http_handshake_against(const std::string& reply, bool split = false) {
  FakeProxy fake([&](int fd) {
    std::string req;
    read_until(fd, req, "\r\n\r\n");
    if (split && reply.size() > 5) {
      write_all(fd, reply.substr(0, 5));
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      write_all(fd, reply.substr(5));
    } else {
      write_all(fd, reply);
    }
    if (reply.empty()) ::shutdown(fd, SHUT_WR);
  });
  const int fd = tcp_connect("127.0.0.1", fake.port(), 5000);
  if (fd < 0) return false;
  const bool ok = http_connect_handshake(fd, ProxyConfig{}, "127.0.0.1", 8080);
  ::close(fd);
  return ok;
}

TEST(HttpConnect, HostileRepliesFailTheHandshake) {
  EXPECT_TRUE(http_handshake_against("HTTP/1.1 200 OK\r\n\r\n"));
  EXPECT_TRUE(http_handshake_against("HTTP/1.1 200 OK\r\nProxy-agent: x\r\n\r\n", true));
  // A length in a 2xx reply to CONNECT means nothing; it is never trusted.
  EXPECT_TRUE(http_handshake_against("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n"));
  EXPECT_TRUE(
      http_handshake_against("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n"));
  EXPECT_FALSE(http_handshake_against("HTTP/1.1 407 Proxy Authentication Required\r\n\r\n"));
  EXPECT_FALSE(http_handshake_against("HTTP/1.1 300 Moved\r\n\r\n"));
  EXPECT_FALSE(http_handshake_against("HTTP/1.1 2000 OK\r\n\r\n"));
  EXPECT_FALSE(http_handshake_against("garbage without a space\r\n\r\n"));
  EXPECT_FALSE(http_handshake_against(""));                     // closes without a reply
  EXPECT_FALSE(http_handshake_against("HTTP/1.1 200 OK\r\n"));  // head never ends
  EXPECT_FALSE(http_handshake_against("HTTP/1.1 200 OK\r\nX: " + std::string(2000, 'a') +
                                      "\r\n\r\n"));  // head longer than the limit
}

// SOCKS5 fake: answers the greeting, then (if it got that far) the connect.
bool socks_against(const std::string& greeting_reply, const std::string& connect_reply,
                   bool with_credentials = false, const std::string& auth_reply = "") {
  FakeProxy fake([&](int fd) {
    std::string in;
    if (!read_until(fd, in, "", 5000, with_credentials ? 4 : 3)) return;
    write_all(fd, greeting_reply);
    if (greeting_reply.size() < 2) return;  // cut short: close at once
    in.clear();
    if (with_credentials && greeting_reply == std::string("\x05\x02", 2)) {
      if (!read_until(fd, in, "", 5000, 2)) return;
      const size_t ulen = static_cast<unsigned char>(in[1]);
      if (!read_until(fd, in, "", 5000, 2 + ulen + 1)) return;
      const size_t plen = static_cast<unsigned char>(in[2 + ulen]);
      if (!read_until(fd, in, "", 5000, 3 + ulen + plen)) return;
      write_all(fd, auth_reply);
      in.clear();
    }
    if (!read_until(fd, in, "", 5000, 5)) return;
    const size_t hlen = static_cast<unsigned char>(in[4]);
    if (!read_until(fd, in, "", 5000, 5 + hlen + 2)) return;
    write_all(fd, connect_reply);
  });
  const int fd = tcp_connect("127.0.0.1", fake.port(), 5000);
  if (fd < 0) return false;
  ProxyConfig config;
  if (with_credentials) {
    config.user_name = "u";
    config.password = "p";
  }
  const bool ok = socks5_handshake(fd, config, "127.0.0.1", 8080);
  ::close(fd);
  return ok;
}

TEST(Socks5, HostileAnswersFailTheHandshake) {
  const std::string ok_ipv4("\x05\x00\x00\x01\x7f\x00\x00\x01\x1f\x90", 10);
  const std::string ok_name("\x05\x00\x00\x03\x04host\x1f\x90", 11);
  const std::string ok_ipv6 =
      std::string("\x05\x00\x00\x04", 4) + std::string(16, '\0') + "\x1f\x90";
  EXPECT_TRUE(socks_against(std::string("\x05\x00", 2), ok_ipv4));
  EXPECT_TRUE(socks_against(std::string("\x05\x00", 2), ok_name));
  EXPECT_TRUE(socks_against(std::string("\x05\x00", 2), ok_ipv6));
  // Without credentials only method 00 is acceptable.
  EXPECT_FALSE(socks_against(std::string("\x05\x02", 2), ok_ipv4));
  EXPECT_FALSE(socks_against(std::string("\x05\xff", 2), ok_ipv4));
  EXPECT_FALSE(socks_against(std::string("\x04\x00", 2), ok_ipv4));  // wrong version
  EXPECT_FALSE(socks_against(std::string("\x05", 1), ok_ipv4));      // short, then closed
  // The connect refused, an unknown address type, a reply cut short.
  EXPECT_FALSE(socks_against(std::string("\x05\x00", 2), std::string("\x05\x05\x00\x01", 4)));
  EXPECT_FALSE(socks_against(std::string("\x05\x00", 2), std::string("\x05\x00\x00\x07", 4)));
  EXPECT_FALSE(socks_against(std::string("\x05\x00", 2), ok_ipv4.substr(0, 6)));
  // With credentials: accepted, refused, or a method nobody asked for.
  EXPECT_TRUE(socks_against(std::string("\x05\x02", 2), ok_ipv4, true, std::string("\x01\x00", 2)));
  EXPECT_FALSE(
      socks_against(std::string("\x05\x02", 2), ok_ipv4, true, std::string("\x01\x01", 2)));
  EXPECT_TRUE(socks_against(std::string("\x05\x00", 2), ok_ipv4, true));
  EXPECT_FALSE(socks_against(std::string("\x05\x01", 2), ok_ipv4, true));
}

}  // namespace
