// Navigation over HTTP and the sign-in lookup over HTTPS, the latter checked
// against the CA the server generated into its data folder.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "server_process.h"
#include "sipc_client.h"

using tavrin::test::ServerProcess;

namespace {

int connectTo(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string plainExchange(int port, const std::string& request) {
  int fd = connectTo(port);
  if (fd < 0) return {};
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string reply;
  char buf[4096];
  ssize_t n;
  while ((n = recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, size_t(n));
  close(fd);
  return reply;
}

// One HTTPS GET verified against caFile; empty when the handshake fails.
std::string tlsGet(int port, const std::string& caFile, const std::string& path) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr);
  int fd = connectTo(port);
  SSL* ssl = SSL_new(ctx);
  SSL_set_fd(ssl, fd);
  SSL_set1_host(ssl, "127.0.0.1");
  std::string reply;
  if (SSL_connect(ssl) == 1) {
    std::string req =
        "GET " + path +
        " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n";
    SSL_write(ssl, req.data(), int(req.size()));
    char buf[4096];
    int n;
    while ((n = SSL_read(ssl, buf, sizeof buf)) > 0) reply.append(buf, size_t(n));
  }
  SSL_free(ssl);
  close(fd);
  SSL_CTX_free(ctx);
  return reply;
}

std::string navigationRequest() {
  std::string body =
      "<config><user sid=\"100000001\" /><client type=\"PC\" version=\"2.3.0210\" "
      "platform=\"W5.1\" /></config>";
  return "POST /nav/getsystemconfig.aspx HTTP/1.1\r\nUser-Agent: OXA2.0/PC 2.3.0210\r\nAccept: \r\n"
         "Connection: Close\r\nContent-Type: \r\nHost: nav.tavrin.local\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(HttpEndpointsTest, NavigationNamesTheSipcProxy) {
  ServerProcess server;
  const std::string req = navigationRequest();
  std::string reply = plainExchange(server.navPort(), req);
  EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply;
  std::string proxy =
      "<sipc-proxy>127.0.0.1:" + std::to_string(server.sipcPort()) + "</sipc-proxy>";
  EXPECT_NE(reply.find(proxy), std::string::npos) << reply;

  EXPECT_EQ(plainExchange(server.navPort(), "GET /other HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 404", 0),
            0u);
  EXPECT_EQ(plainExchange(server.navPort(), "garbage\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
  EXPECT_EQ(plainExchange(server.navPort(),
                          "POST /nav/getsystemconfig.aspx HTTP/1.1\r\nContent-Length: -5\r\n\r\n")
                .rfind("HTTP/1.1 400", 0),
            0u);
}

TEST(HttpEndpointsTest, SignInMapsMobileNumberToTavrinNumber) {
  ServerProcess server;
  std::string ca = server.dataDir() + "/tls/ca.pem";
  std::string ok = tlsGet(server.signinPort(), ca,
                          "/ssiportal/SSIAppSignIn.aspx?mobileno=13900000001&pwd=alice123");
  ASSERT_FALSE(ok.empty()) << "TLS handshake against the generated CA failed";
  size_t sip = ok.find("sip:");
  ASSERT_NE(sip, std::string::npos) << ok;
  EXPECT_EQ(ok.substr(sip + 4, ok.find('@', sip) - sip - 4), "100000001");

  struct Case {
    const char* query;
    const char* status;
  } cases[] = {
      {"mobileno=13900000001&pwd=wrong", "401"},
      {"mobileno=13999999999&pwd=x", "401"},  // no account: told apart from nothing
      {"mobileno=abc&pwd=x", "400"},
      {"pwd=x", "400"},
  };
  for (const auto& c : cases) {
    std::string r =
        tlsGet(server.signinPort(), ca, std::string("/ssiportal/SSIAppSignIn.aspx?") + c.query);
    EXPECT_EQ(r.substr(9, 3), c.status) << c.query;
    EXPECT_EQ(r.find("sip:"), std::string::npos) << c.query;
  }
}

TEST(HttpEndpointsTest, SignInGuessingIsThrottledWithRegistration) {
  ServerProcess server;
  const std::string ca = server.dataDir() + "/tls/ca.pem";
  const std::string path = "/ssiportal/SSIAppSignIn.aspx?mobileno=13900000001&pwd=";
  for (int i = 0; i <= 10; ++i)
    ASSERT_EQ(tlsGet(server.signinPort(), ca, path + "guess" + std::to_string(i)).substr(9, 3),
              "401")
        << i;
  // Locked: the right password is not even checked, here or at registration.
  EXPECT_EQ(tlsGet(server.signinPort(), ca, path + "alice123").substr(9, 3), "403");
  tavrin::test::SipcClient alice(server.sipcPort());
  EXPECT_EQ(alice.login("100000001", "alice123"), 403);
}


// With a TLS port, navigation names it after the plain element (which older
// clients read first); without a plain port that element is left out.
TEST(HttpEndpointsTest, NavigationNamesTheTlsPortBesideOrInsteadOfThePlainOne) {
  for (const bool plain : {true, false}) {
    SCOPED_TRACE(plain ? "both ports" : "TLS only");
    std::vector<std::string> args{"--demo", "--sipc-tls-port", "0"};
    if (!plain) args.push_back("--no-sipc-plain");
    ServerProcess server(args);
    ASSERT_GT(server.sipcTlsPort(), 0);
    EXPECT_EQ(server.sipcPort() > 0, plain);
    const std::string reply = plainExchange(server.navPort(), navigationRequest());
    const std::string tls =
        "<sipc-tls-proxy>127.0.0.1:" + std::to_string(server.sipcTlsPort()) + "</sipc-tls-proxy>";
    const size_t at_tls = reply.find(tls);
    EXPECT_NE(at_tls, std::string::npos) << reply;
    const size_t at_plain = reply.find("<sipc-proxy>");
    if (plain)
      EXPECT_LT(at_plain, at_tls) << reply;
    else
      EXPECT_EQ(at_plain, std::string::npos) << reply;
  }
}

// A client that connects to the TLS port and stalls in the handshake (says
// nothing, or half a hello) blocks no one else and is dropped in time.
TEST(HttpEndpointsTest, StalledTlsHandshakesBlockNoOneAndAreDropped) {
  ServerProcess server({"--demo", "--sipc-tls-port", "0"});
  ASSERT_GT(server.sipcTlsPort(), 0);
  const int silent = connectTo(server.sipcTlsPort());
  const int half = connectTo(server.sipcTlsPort());
  ASSERT_GE(silent, 0);
  ASSERT_GE(half, 0);
  const unsigned char hello_start[] = {0x16, 0x03, 0x01, 0x02, 0x00, 0x01, 0x00, 0x01, 0xfc};
  send(half, hello_start, sizeof hello_start, MSG_NOSIGNAL);

  // Meanwhile a real client completes its handshake and is answered.
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_load_verify_locations(ctx, (server.dataDir() + "/tls/ca.pem").c_str(), nullptr);
  const int fd = connectTo(server.sipcTlsPort());
  SSL* ssl = SSL_new(ctx);
  SSL_set_fd(ssl, fd);
  ASSERT_EQ(SSL_connect(ssl), 1);
  const std::string garbage = "NOT SIP-C\r\n\r\n";
  SSL_write(ssl, garbage.data(), int(garbage.size()));
  char buf[256] = {};
  const int n = SSL_read(ssl, buf, sizeof buf - 1);
  EXPECT_EQ(std::string(buf, size_t(std::max(n, 0))).rfind("SIP-C/2.0 ", 0), 0u) << buf;
  SSL_free(ssl);
  close(fd);
  SSL_CTX_free(ctx);

  // The stalled ones are closed by the server: 10 s to finish, swept every 5 s.
  for (const int stalled : {silent, half}) {
    pollfd p{stalled, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 30000), 1) << "a stalled handshake was kept";
    char rest[64];
    EXPECT_LE(recv(stalled, rest, sizeof rest, 0), 0);
    close(stalled);
  }
}

}  // namespace
