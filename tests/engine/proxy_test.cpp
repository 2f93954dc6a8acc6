// Proxies: the real tinyproxy (HTTP CONNECT, with and without Basic
// authorisation) and the real dante (SOCKS5, with and without user and
// password), each started in the foreground on a loopback port and stopped
// by its pid (proxy_children.h); a loopback listener stands for the SIP-C
// server. These tests need both programs: when one is missing they fail.
#include <gtest/gtest.h>

#include <optional>

#include "frame/engine.h"
#include "libtavrin.h"
#include "net_helpers.h"
#include "proxy_children.h"
#include "sipc/proxy_settings.h"
#include "sipc/wire.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

fx_proxy make_proxy(int type, const std::string& port, const char* user, const char* pass) {
  static std::string host = "127.0.0.1";
  static std::string port_text;
  port_text = port;
  return fx_proxy{host.data(), port_text.data(), const_cast<char*>(user), const_cast<char*>(pass),
                  type};
}

struct Answers {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<int> statuses;
};
void on_answer(sipc_message& m, void* user) {
  auto* a = static_cast<Answers*>(user);
  std::lock_guard lock(a->mu);
  a->statuses.push_back(m.status());
  a->cv.notify_all();
}

// The engine's own connection through the proxy carries a request out and
// its answer back to the transaction handler.
void expect_engine_round_trip(Listener& server) {
  ASSERT_EQ(wire().reset_and_connect(), 1);
  const int fd = server.accept();
  ASSERT_GE(fd, 0);
  Answers answers;
  wire().transactions.add(21, on_answer, &answers, nullptr);
  wire().queue(sipc_message::request({"tavrin.local", "123456789"}, "S", 21, 1));
  std::string got;
  EXPECT_TRUE(read_until(fd, got, "\r\n\r\n"));
  EXPECT_EQ(got.rfind("S tavrin.local SIP-C/2.0\r\n", 0), 0u) << got;
  ASSERT_TRUE(write_all(fd, "SIP-C/2.0 200 OK\r\nI: 21\r\nQ: 1 S\r\n\r\n"));
  std::unique_lock lock(answers.mu);
  EXPECT_TRUE(answers.cv.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return !answers.statuses.empty(); }));
  lock.unlock();
  wire().transactions.remove(21);
  fx_close_network();
  ::close(fd);
}

class ProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine().preset_driver(nullptr);
    ASSERT_EQ(fx_init(), 1);
    ASSERT_EQ(fx_set_serve_address(server_.address().c_str()), 1);
  }
  void TearDown() override {
    fx_terminate();
    proxy_settings().reset();
  }
  // fx_test_network, with the listener taking the tunnelled connection.
  int test_network(const fx_proxy& p) {
    const int result = fx_test_network(&p);
    if (result) {
      const int fd = server_.accept(2000);
      EXPECT_GE(fd, 0) << "the tunnel did not reach the server";
      if (fd >= 0) ::close(fd);
    }
    return result;
  }
  Listener server_;
};

TEST_F(ProxyTest, HttpConnectWithoutAuthorisationCarriesTheSipcStream) {
  Tinyproxy proxy;
  ASSERT_TRUE(proxy.start(std::nullopt)) << proxy.failure();
  const fx_proxy p = make_proxy(FX_PROXY_HTTP, std::to_string(proxy.port()), nullptr, nullptr);
  EXPECT_EQ(test_network(p), 1);
  ASSERT_EQ(fx_set_proxy(&p), 1);
  EXPECT_EQ(fx_proxyEnabled(), 1);
  expect_engine_round_trip(server_);
}

TEST_F(ProxyTest, HttpConnectWithBasicAuthorisation) {
  Tinyproxy proxy;
  ASSERT_TRUE(proxy.start(Tinyproxy::Credentials{"alice", "s3cret"})) << proxy.failure();
  const std::string port = std::to_string(proxy.port());
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_HTTP, port, "alice", "s3cret")), 1);
  // No credentials: 407. Wrong ones: tinyproxy says 401. Only one of the two:
  // the request goes without authorisation, 407 again. All fail.
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_HTTP, port, nullptr, nullptr)), 0);
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_HTTP, port, "alice", "wrong")), 0);
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_HTTP, port, "alice", nullptr)), 0);

  const fx_proxy good = make_proxy(FX_PROXY_HTTP, port, "alice", "s3cret");
  ASSERT_EQ(fx_set_proxy(&good), 1);
  expect_engine_round_trip(server_);
  const fx_proxy refused = make_proxy(FX_PROXY_HTTP, port, nullptr, nullptr);
  ASSERT_EQ(fx_set_proxy(&refused), 1);
  EXPECT_EQ(wire().reset_and_connect(), 0);
}

TEST_F(ProxyTest, Socks5WithoutAuthentication) {
  Dante proxy;
  ASSERT_TRUE(proxy.start(false)) << proxy.failure();
  const fx_proxy p = make_proxy(FX_PROXY_SOCKS5, std::to_string(proxy.port()), nullptr, nullptr);
  EXPECT_EQ(test_network(p), 1);
  ASSERT_EQ(fx_set_proxy(&p), 1);
  expect_engine_round_trip(server_);
}

TEST_F(ProxyTest, Socks5WithUserAndPassword) {
  SystemUser user;
  ASSERT_TRUE(user.ok()) << "could not create a throwaway system user (useradd, chpasswd)";
  Dante proxy;
  ASSERT_TRUE(proxy.start(true)) << proxy.failure();
  const std::string port = std::to_string(proxy.port());
  const fx_proxy good =
      make_proxy(FX_PROXY_SOCKS5, port, user.name().c_str(), user.password().c_str());
  EXPECT_EQ(test_network(good), 1);
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_SOCKS5, port, user.name().c_str(), "wrong")), 0);
  // Without credentials the greeting offers "no authentication" only; dante
  // answers with another method (none acceptable), which fails.
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_SOCKS5, port, nullptr, nullptr)), 0);
  const fx_proxy again =
      make_proxy(FX_PROXY_SOCKS5, port, user.name().c_str(), user.password().c_str());
  ASSERT_EQ(fx_set_proxy(&again), 1);
  expect_engine_round_trip(server_);
}

TEST_F(ProxyTest, ReservedTypesFailAndDisabledProxyConnectsDirectly) {
  Tinyproxy proxy;
  ASSERT_TRUE(proxy.start(std::nullopt)) << proxy.failure();
  const std::string port = std::to_string(proxy.port());
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_RESERVED, port, nullptr, nullptr)), 0);
  EXPECT_EQ(test_network(make_proxy(FX_PROXY_OTHER, port, nullptr, nullptr)), 0);
  EXPECT_EQ(fx_test_network(nullptr), 1);  // direct to the listener
  if (int fd = server_.accept(2000); fd >= 0) ::close(fd);
  const fx_proxy p = make_proxy(FX_PROXY_RESERVED, port, nullptr, nullptr);
  ASSERT_EQ(fx_set_proxy(&p), 1);
  EXPECT_EQ(wire().reset_and_connect(), 0);
  fx_setProxyEnabled(0);
  expect_engine_round_trip(server_);
}

}  // namespace
