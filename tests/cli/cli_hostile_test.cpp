// Hostile peers against real users: a line too long for anyone, a blocked
// sender, and strangers guessing a password from fifty addresses. The
// hostile side speaks raw SIP-C (it need not use our engine); the users are
// tavrin-cli processes; tavrin-server is the real binary.
#include <arpa/inet.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"
#include "sipc_client.h"

namespace tavrin::test {
namespace {

constexpr const char* kAliceId = "100000001";
constexpr const char* kBobId = "100000002";
constexpr const char* kCarolId = "100000003";
constexpr const char* kNudge = "<is-composing><state>nudge</state></is-composing>";

std::string uri(const char* id) {
  return std::string("sip:") + id + "@tavrin.local;p=8080";
}

int port_of(const std::string& server) {
  return std::stoi(server.substr(server.rfind(':') + 1));
}

// A chat line or nudge outside a dialog, as any client may send one; its status.
int say(SipcClient& from, const char* to, const std::string& body, const char* method = "M") {
  return from.command(method, "", body, nullptr, uri(to));
}

bool shows_line(const std::string& l, const std::string& text) {
  return is_message(l, 16) && has(l, "\"text\":\"" + text + "\"");
}

using CliHostileTest = CliTest;

// A line over the limit is refused at its sender with 413 and never stored,
// so the lines behind it arrive; a blocked sender's lines and nudges reach
// nobody, offline or online; the CLI refuses such a line itself and says why.
TEST_F(CliHostileTest, NoLineHoldsBackTheOthersAndABlockedSenderReachesNobody) {
  SipcClient bob(port_of(sipc_));
  ASSERT_EQ(bob.login(kBobId, "bob123"), 200);
  SipcClient mallory(port_of(sipc_));
  ASSERT_EQ(mallory.login("100000007", "mallory123"), 200);

  // Carol and Alice are offline: lines wait for them.
  const std::string poison(1536 * 1024, 'p');
  EXPECT_EQ(say(bob, kCarolId, poison), 413);
  EXPECT_EQ(say(bob, kCarolId, "after-0"), 200);
  // Alice blocks Mallory: answered like any line, kept nowhere.
  EXPECT_EQ(say(mallory, kAliceId, "spam-0"), 200);
  EXPECT_EQ(say(mallory, kAliceId, kNudge, "IN"), 200);
  EXPECT_EQ(say(bob, kAliceId, "after-1"), 200);

  auto carol = signed_in(kCarolId, "carol123");
  EXPECT_TRUE(carol->read_until([](const std::string& l) { return shows_line(l, "after-0"); },
                                kLimit))
      << carol->transcript();

  auto alice = signed_in(kAliceId, "alice123");
  ASSERT_TRUE(alice->read_until([](const std::string& l) { return shows_line(l, "after-1"); },
                                kLimit))
      << alice->transcript();
  // Online now: Mallory's line and nudge go nowhere, Bob's line behind them arrives.
  EXPECT_EQ(say(mallory, kAliceId, "spam-1"), 200);
  EXPECT_EQ(say(mallory, kAliceId, kNudge, "IN"), 200);
  EXPECT_EQ(say(bob, kAliceId, "after-2"), 200);
  ASSERT_TRUE(alice->read_until([](const std::string& l) { return shows_line(l, "after-2"); },
                                kLimit))
      << alice->transcript();
  EXPECT_FALSE(has(alice->transcript(), "spam")) << alice->transcript();
  for (std::istringstream all(alice->transcript()); !all.eof();) {
    std::string l;
    std::getline(all, l);
    EXPECT_FALSE(is_message(l, 19)) << l;
  }

  // The CLI refuses a line over the limit before it leaves, and says so.
  alice->write_line("send " + std::string(kCarolId) + " " + poison);
  const auto refused = alice->read_until(
      [](const std::string& l) { return is_result(l, "send"); }, kLimit);
  ASSERT_TRUE(refused) << alice->transcript();
  EXPECT_TRUE(has(*refused, "\"ok\":false") && has(*refused, "line too long")) << *refused;
}

// Fifty addresses guess at Alice's and Bob's passwords. Alice, who logged
// in from this address before, gets in at once; a stranger with the right
// password does not; Bob, never seen here, is told why he has to wait.
TEST_F(CliHostileTest, GuessersFromFiftyAddressesNeverLockTheOwnerOut) {
  {
    auto alice = signed_in(kAliceId, "alice123");
    alice->write_line("quit");
    alice->wait_exit(kLimit);
  }
  const int port = port_of(sipc_);
  std::vector<std::unique_ptr<SipcClient>> guessers;
  for (uint32_t i = 0; i < 50; ++i) {
    guessers.push_back(std::make_unique<SipcClient>(port, 0x7f000002 + i));
    ASSERT_TRUE(guessers.back()->connected()) << "127.0.0." << 2 + i;
  }
  // They guess on (wrong answers, or 403 while locked) until each account
  // has taken 14 wrong answers: the last one locks it for 8 s.
  const char* const ids[] = {kAliceId, kBobId};
  int wrong[] = {0, 0};
  const auto give_up = std::chrono::steady_clock::now() + 40s;
  while ((wrong[0] < 14 || wrong[1] < 14) && std::chrono::steady_clock::now() < give_up) {
    for (auto& g : guessers)
      for (int k : {0, 1}) {
        if (wrong[k] >= 14) continue;
        const int status = g->login(ids[k], "guess");
        ASSERT_TRUE(status == 401 || status == 403) << status;
        if (status == 401) ++wrong[k];
      }
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_EQ(wrong[0], 14);
  ASSERT_EQ(wrong[1], 14);
  SipcClient stranger(port, 0x7f0000c8);
  EXPECT_EQ(stranger.login(kAliceId, "alice123"), 403) << "the account is locked to strangers";

  auto alice = signed_in(kAliceId, "alice123");

  auto bob = cli(kBobId, "bob123", /*json=*/false);
  const auto why = bob->read_until(
      [](const std::string& l) { return has(l, "login failed"); }, kLimit);
  ASSERT_TRUE(why) << bob->transcript();
  EXPECT_TRUE(has(*why, "slowed because of wrong passwords")) << *why;
  // Both happened while the lock held.
  SipcClient later(port, 0x7f0000c9);
  EXPECT_EQ(later.login(kAliceId, "alice123"), 403);
}

}  // namespace
}  // namespace tavrin::test
