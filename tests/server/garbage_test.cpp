// Hostile bytes on the SIP-C port: every stream either gets an error status
// or a closed connection, and the server stays up for the next client.
#include <gtest/gtest.h>

#include <random>

#include "server_process.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

TEST(GarbageTest, BadStreamsNeverTakeTheServerDown) {
  ServerProcess server;
  const std::string cases[] = {
      "R tavrin.local SIP-C/2.0\r\nI: 1\r\nQ: 1 R\r\nL: -5\r\n\r\n",
      "R tavrin.local SIP-C/2.0\r\nI: 1\r\nQ: 1 R\r\nL: 99999999999999999999\r\n\r\n",
      "R tavrin.local SIP-C/2.0\r\nI: 1\r\nQ: 1 R\r\nL: 3\r\nL: 4\r\n\r\nabcd",
      "R tavrin.local SIP-C/2.0\r\nI: 1\r\nQ: 1 R\r\nL: 1000000000\r\n\r\nabc",
      "R tavrin.local SIP-C/2.0\r\nno colon here\r\n\r\n",
      "R tavrin.local SIP-C/2.0\r\nQ: 1 R\r\n\r\n",  // no call id
      "one two\r\nI: 1\r\n\r\n",
      "SIP-C/2.0 99999999999 OK\r\nI: 1\r\nQ: 1 R\r\n\r\n",
      std::string("S tavrin.local SIP-C/2.0\r\nI: 1\r\nQ: 1 S\r\nN: GetUserInfo\r\nL: 5\r\n\r\n") +
          std::string("\0\xff\xfe<a", 5),  // NUL and invalid UTF-8 in the body
      std::string(70000, 'x'),             // a head that never ends
  };
  for (const auto& bytes : cases) {
    SipcClient c(server.sipcPort());
    ASSERT_TRUE(c.connected());
    c.sendRaw(bytes);
    // Either answered with an error or closed; never a hang past the time-out.
    sipc_message any;
    bool answered =
        c.expect([](const sipc_message& m) { return m.is_response() && m.status() >= 400; }, any,
                 std::chrono::milliseconds(500));
    EXPECT_TRUE(answered || c.closedByServer(std::chrono::milliseconds(500)))
        << "no reaction to: " << bytes.substr(0, 60);
  }
  std::mt19937 rng(42);
  for (int i = 0; i < 30; ++i) {
    SipcClient c(server.sipcPort());
    std::string bytes(size_t(rng() % 4096), '\0');
    for (auto& b : bytes) b = char(rng());
    if (i % 2) bytes = "M tavrin.local SIP-C/2.0\r\nI: 3\r\nQ: 2 M\r\nL: 10\r\n\r\n" + bytes;
    c.sendRaw(bytes);
  }
  ASSERT_TRUE(server.alive());
  SipcClient ok(server.sipcPort());
  EXPECT_EQ(ok.login("100000001", "alice123"), 200);
}

}  // namespace

namespace {

TEST(GarbageTest, ClientThatStopsReadingIsDropped) {
  ServerProcess server;
  SipcClient greedy(server.sipcPort());
  ASSERT_EQ(greedy.login("100000001", "alice123"), 200);
  // Thousands of requests whose answers are never read: the server's queue
  // for this client stays bounded and the client is let go.
  std::string burst;
  for (int i = 0; i < 20000; ++i) {
    sipc_message m = greedy.request(
        "S", 100 + i, 1,
        "<args><contacts><buddy-lists /><buddies attributes=\"all\" /></contacts></args>");
    m.add_header("N", "GetContactList");
    burst += m.serialise();
  }
  greedy.sendRaw(burst);
  EXPECT_TRUE(greedy.hungUpUnread(std::chrono::milliseconds(30000)));
  ASSERT_TRUE(server.alive());
  SipcClient next(server.sipcPort());
  EXPECT_EQ(next.login("100000002", "bob123"), 200);
}

}  // namespace
