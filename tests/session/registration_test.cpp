// The registration exchange against a scripted peer: failure mapping of
// every status, the challenge loop, a challenge without nonce, the body's
// presence value, and the server's events on the registration's call.
#include "session/registration.h"

#include <string>

#include "engine_fixture.h"
#include "scripted_peer.h"
#include "sipc/connection.h"

namespace tavrin::test {
namespace {

using std::chrono::milliseconds;
using Codes = std::vector<int>;

const std::string kChallenge = "W: Digest algorithm=\"MD5-sess;SHA1-sess\",nonce=\"4F2A\"\r\n";

// Answers the first R with a challenge and the digest with `status`.
ScriptedPeer::Script digest_answered(int status, std::string reason) {
  return [status, reason](const sipc_message& m) -> std::vector<std::string> {
    if (m.method() != "R") return {answer(m, 500, "Server Error")};
    if (m.sequence() == 1) return {answer(m, 401, "Unauthorized", kChallenge)};
    return {answer(m, status, reason, status == 200 ? "X: 600\r\n" : "")};
  };
}

class RegistrationTest : public EngineTest {
 protected:
  Codes login_against(ScriptedPeer& peer, Recorder& rec, size_t codes) {
    EXPECT_EQ(fx_set_serve_address(peer.address().c_str()), 1);
    EXPECT_EQ(fx_login("100000001", "pw", Recorder::callback, &rec), 1);
    EXPECT_TRUE(rec.wait_count(codes));
    std::this_thread::sleep_for(milliseconds(150));
    return rec.login_codes();
  }
};

TEST_F(RegistrationTest, DigestAnswerStatusesMapToFailureCodes) {
  const struct {
    int status;
    const char* reason;
    int code;
  } table[] = {{400, "Bad Request", 6}, {401, "Unauthorized", 4}, {406, "Not Acceptable", 4},
               {404, "Not Found", 7},   {403, "Forbidden", 5},    {500, "Server Error", 5}};
  for (const auto& row : table) {
    ScriptedPeer peer(digest_answered(row.status, row.reason));
    Recorder& rec = recorder();
    EXPECT_EQ(login_against(peer, rec, 3), (Codes{1, 2, row.code})) << row.status;
    // The refused registration closed the connection.
    EXPECT_TRUE(eventually([&] { return !peer.peer_open(); })) << row.status;
  }
}

TEST_F(RegistrationTest, ChallengesAreAnsweredThreeTimesThenFail) {
  ScriptedPeer peer([](const sipc_message& m) -> std::vector<std::string> {
    if (m.method() != "R") return {};
    return {answer(m, 401, "Unauthorized", kChallenge)};
  });
  Recorder& rec = recorder();
  EXPECT_EQ(login_against(peer, rec, 5), (Codes{1, 2, 2, 2, 4}));
  std::vector<int> sequences;
  for (const auto& m : peer.received()) {
    sequences.push_back(m.sequence());
    if (m.sequence() > 1) {
      EXPECT_NE(m.get_header("A"), nullptr);
    }
  }
  EXPECT_EQ(sequences, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(RegistrationTest, ChallengeWithoutNonceOrWithoutChallengeFails) {
  {
    ScriptedPeer peer([](const sipc_message& m) -> std::vector<std::string> {
      return {answer(m, 401, "Unauthorized", "W: Digest algorithm=\"MD5\"\r\n")};
    });
    EXPECT_EQ(login_against(peer, recorder(), 2), (Codes{1, 6}));
  }
  ScriptedPeer peer([](const sipc_message& m) -> std::vector<std::string> {
    return {answer(m, 403, "Forbidden")};
  });
  EXPECT_EQ(login_against(peer, recorder(), 2), (Codes{1, 5}));
}

TEST_F(RegistrationTest, LoginStatusSetsThePresenceOfTheBody) {
  ScriptedPeer peer(digest_answered(401, "Unauthorized"));
  fx_set_login_status(70);
  EXPECT_EQ(login_against(peer, recorder(), 3), (Codes{1, 2, 4}));
  const auto got = peer.received();
  ASSERT_GE(got.size(), 2u);
  for (const auto& m : got)
    EXPECT_NE(m.body().find("<presence><basic value=\"850\" desc=\"\" /></presence>"),
              std::string::npos);
  EXPECT_EQ(registration_body(74), registration_body(73));
  EXPECT_NE(registration_body(12).find("value=\"400\""), std::string::npos);
}

TEST_F(RegistrationTest, RegistrationEventsOnlyActOnDeregistered) {
  ScriptedPeer peer(digest_answered(200, "OK"));
  Recorder& rec = recorder();
  ASSERT_EQ(fx_set_serve_address(peer.address().c_str()), 1);
  ASSERT_EQ(fx_login("100000001", "pw", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_REGISTERED));
  EXPECT_EQ(fx_get_expirestime(), 600);
  const std::string other = "<events><event type=\"other\" /></events>";
  peer.push("BN 100000001 SIP-C/2.0\r\nI: 1\r\nQ: 5 BN\r\nN: registration\r\nL: " +
            std::to_string(other.size()) + "\r\n\r\n" + other);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_FALSE(rec.wait_for(FX_MSG_DEREGISTERED, milliseconds(1)));
  EXPECT_TRUE(peer.peer_open());

  const std::string gone = "<events><event type=\"deregistered\" /></events>";
  peer.push("BN 100000001 SIP-C/2.0\r\nI: 1\r\nQ: 6 BN\r\nN: registration\r\nL: " +
            std::to_string(gone.size()) + "\r\n\r\n" + gone);
  EXPECT_TRUE(rec.wait_for(FX_MSG_DEREGISTERED, milliseconds(3000)));
  EXPECT_TRUE(eventually([&] { return !peer.peer_open(); }));
}

}  // namespace
}  // namespace tavrin::test
