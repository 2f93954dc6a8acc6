// Registration against the real server: the digest check, the failure
// statuses, keep-alive, logout and logged-in-elsewhere.
#include <gtest/gtest.h>

#include "server_process.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

class RegistrationTest : public ::testing::Test {
 protected:
  ServerProcess server;
};

TEST_F(RegistrationTest, RightPasswordRegistersWithLifetime) {
  ASSERT_TRUE(server.running());
  SipcClient c(server.sipcPort());
  ASSERT_TRUE(c.connected());
  c.setId("100000001");
  c.send(c.request("R", 1, 1, registrationBody("400")));
  sipc_message challenge;
  ASSERT_TRUE(c.answer(1, 1, challenge));
  EXPECT_EQ(challenge.status(), 401);
  ASSERT_NE(challenge.get_header("W"), nullptr);
  EXPECT_NE(challenge.get_header("W")->find("nonce=\""), std::string::npos);

  c.send(c.request("R", 1, 2, registrationBody("400")));  // no "A" yet: challenged again
  sipc_message again;
  ASSERT_TRUE(c.answer(1, 2, again));
  EXPECT_EQ(again.status(), 401);

  auto a = digest_answer(*again.get_header("W"), "100000001", kDomain, "alice123");
  ASSERT_TRUE(a);
  sipc_message second = c.request("R", 1, 3, registrationBody("400"));
  second.add_header("A", *a);
  c.send(second);
  sipc_message ok;
  ASSERT_TRUE(c.answer(1, 3, ok));
  EXPECT_EQ(ok.status(), 200);
  ASSERT_NE(ok.get_header("X"), nullptr);
  EXPECT_GT(std::stol(*ok.get_header("X")), 0);
}

TEST_F(RegistrationTest, FailuresGiveTheirStatus) {
  struct Case {
    const char* id;
    const char* password;
    int status;
  } cases[] = {
      {"100000001", "wrong-password", 401},
      {"100000001", "", 401},
      {"199999999", "whatever", 401},  // no such account: answered as a wrong password
      {"12345", "whatever", 404},      // not a Tavrin number at all
  };
  for (const auto& k : cases) {
    SipcClient c(server.sipcPort());
    EXPECT_EQ(c.login(k.id, k.password), k.status) << k.id << " / " << k.password;
  }
  // A wrong password is refused without a new challenge, so the client stops at once.
  SipcClient c(server.sipcPort());
  c.login("100000001", "nope");
  sipc_message stray;
  EXPECT_FALSE(c.expect([](const sipc_message& m) { return m.get_header("W") != nullptr; }, stray,
                        std::chrono::milliseconds(200)));
}

TEST_F(RegistrationTest, UnreadableDigestAnswerIs400) {
  SipcClient c(server.sipcPort());
  c.setId("100000001");
  c.send(c.request("R", 1, 1, registrationBody("400")));
  sipc_message challenge;
  ASSERT_TRUE(c.answer(1, 1, challenge));
  sipc_message second = c.request("R", 1, 2, registrationBody("400"));
  second.add_header("A", "Digest garbage");
  c.send(second);
  sipc_message bad;
  ASSERT_TRUE(c.answer(1, 2, bad));
  EXPECT_EQ(bad.status(), 400);
}

TEST_F(RegistrationTest, CommandsBeforeRegistrationAreRefused) {
  SipcClient c(server.sipcPort());
  EXPECT_EQ(c.command("S", "GetContactList", "<args><contacts><buddy-lists /></contacts></args>"),
            401);
}

TEST_F(RegistrationTest, KeepAliveRefreshesAndLogoutEnds) {
  SipcClient c(server.sipcPort());
  ASSERT_EQ(c.login("100000002", "bob123"), 200);
  c.send(c.request("R", 1, 3));
  sipc_message keep;
  ASSERT_TRUE(c.answer(1, 3, keep));
  EXPECT_EQ(keep.status(), 200);
  ASSERT_NE(keep.get_header("X"), nullptr);
  EXPECT_NE(*keep.get_header("X"), "0");

  sipc_message logout = c.request("R", 1, 4);
  logout.add_header("X", "0");
  c.send(logout);
  sipc_message bye;
  ASSERT_TRUE(c.answer(1, 4, bye));
  ASSERT_NE(bye.get_header("X"), nullptr);
  EXPECT_EQ(*bye.get_header("X"), "0");
  EXPECT_TRUE(c.closedByServer());
}

TEST_F(RegistrationTest, SecondLoginDeregistersTheFirst) {
  SipcClient first(server.sipcPort());
  ASSERT_EQ(first.login("100000003", "carol123"), 200);
  SipcClient second(server.sipcPort());
  ASSERT_EQ(second.login("100000003", "carol123"), 200);
  sipc_message bn;
  ASSERT_TRUE(first.expect(
      [](const sipc_message& m) {
        return !m.is_response() && m.method() == "BN" && m.call_id() == 1;
      },
      bn));
  ASSERT_NE(bn.get_header("N"), nullptr);
  EXPECT_EQ(*bn.get_header("N"), "registration");
  EXPECT_NE(bn.body().find("deregistered"), std::string::npos);
  EXPECT_TRUE(first.closedByServer());
  // The new session carries on.
  EXPECT_EQ(second.command("S", "GetScore", ""), 200);
}

}  // namespace

namespace {

TEST(IdleConnectionTest, UnregisteredConnectionIsDroppedAfterTheLoginTimeOut) {
  ServerProcess server({"--demo", "--login-timeout", "1"});
  SipcClient idle(server.sipcPort());
  SipcClient active(server.sipcPort());
  ASSERT_EQ(active.login("100000001", "alice123"), 200);
  EXPECT_TRUE(idle.closedByServer(std::chrono::milliseconds(8000)));
  EXPECT_EQ(active.command("S", "GetScore", ""), 200);
}

}  // namespace
