// HTTPS GET verifies the server's certificate: a local TLS server with its
// own certificate is refused unless its CA file is given.
#include "platform/https.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/process.h"
#include "temp_dir.h"

using namespace tavrin::platform;

namespace {

int free_port() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

bool port_open(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

// openssl's test server with a fresh self-signed certificate for 127.0.0.1.
struct TlsServer {
  TempDir dir;
  int pid = -1;
  int port = 0;
  std::string cert;
  TlsServer() {
    cert = dir.file("cert.pem");
    auto gen = Process::start(
        "/usr/bin/openssl",
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir.file("key.pem"), "-out",
         cert, "-days", "1", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    int code = -1;
    if (!gen || !Process::wait(*gen, 60000, &code) || code != 0) return;
    port = free_port();
    auto srv = Process::start(
        "/usr/bin/openssl", {"s_server", "-quiet", "-www", "-accept", std::to_string(port), "-cert",
                             cert, "-key", dir.file("key.pem")});
    if (!srv) return;
    pid = *srv;
    for (int i = 0; i < 500 && !port_open(port); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~TlsServer() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      Process::wait(pid, 10000);
    }
  }
  std::string url() const { return "https://127.0.0.1:" + std::to_string(port) + "/"; }
};

}  // namespace

TEST(Https, VerifiesCertificatesAndTrustsAGivenCaFile) {
  TlsServer server;
  ASSERT_GT(server.pid, 0);
  ASSERT_TRUE(port_open(server.port));
  // Unknown issuer: refused, nothing of the body is handed back.
  HttpsResult refused = https_get(server.url());
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.body.empty());
  EXPECT_FALSE(refused.error.empty());
  // Its CA given per call, or as the process default: accepted.
  HttpsOptions with_ca;
  with_ca.ca_file = server.cert;
  HttpsResult ok = https_get(server.url(), with_ca);
  EXPECT_TRUE(ok.ok) << ok.error;
  EXPECT_EQ(ok.status, 200);
  EXPECT_FALSE(ok.body.empty());
  set_default_ca_file(server.cert);
  HttpsOptions capped;
  capped.max_body = 10;
  HttpsResult small = https_get(server.url(), capped);
  set_default_ca_file({});
  EXPECT_TRUE(small.ok) << small.error;
  EXPECT_EQ(small.body.size(), 10u);
}

TEST(Https, OnlyHttpsIsSpoken) {
  TlsServer server;
  ASSERT_GT(server.pid, 0);
  HttpsOptions o;
  o.ca_file = server.cert;
  HttpsResult plain = https_get("http://127.0.0.1:" + std::to_string(server.port) + "/", o);
  EXPECT_FALSE(plain.ok);
}
