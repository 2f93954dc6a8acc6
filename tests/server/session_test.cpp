// Commands, the own-info request, presence subscriptions and contact requests
// against the real server with its demo world.
#include <gtest/gtest.h>

#include <regex>

#include "server_process.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr const char* kContactList =
    "<args><contacts><buddy-lists /><buddies attributes=\"all\" /><mobile-buddies "
    "attributes=\"all\" /><chat-friends /><blacklist /></contacts></args>";

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::function<bool(const sipc_message&)> event(int32_t callId, const char* type) {
  return [callId, type](const sipc_message& m) {
    return !m.is_response() && m.method() == "BN" && m.call_id() == callId &&
           m.body().find(type) != std::string::npos;
  };
}

class SessionTest : public ::testing::Test {
 protected:
  ServerProcess server;
};

TEST_F(SessionTest, ContactListCarriesListsBuddiesPhonesAndBlacklist) {
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  sipc_message a;
  ASSERT_EQ(alice.command("S", "GetContactList", kContactList, &a), 200);
  const std::string& b = a.body();
  EXPECT_TRUE(has(b, "<results><contacts"));
  EXPECT_TRUE(has(b, "<buddy-list id=\"1\""));
  EXPECT_TRUE(has(b, "<buddy uri=\"sip:100000002@tavrin.local;p=1\""));
  EXPECT_TRUE(has(b, "relation-status=\"1\""));
  EXPECT_TRUE(has(b, "<mobile-buddy uri=\"tel:13800138000\""));
  EXPECT_TRUE(has(b, "<blocked uri=\"sip:100000007@tavrin.local;p=1\""));
  EXPECT_TRUE(has(b, "<chat-friends />"));
}

// Before login a stranger learns the account number behind a mobile number
// and nothing else: no presence, no profile, no mobile number, not even
// whether the number has an account.
TEST_F(SessionTest, OwnInfoBeforeAndAfterRegistration) {
  SipcClient bob(server.sipcPort());
  ASSERT_EQ(bob.login("100000002", "bob123", "600"), 200);
  SipcClient c(server.sipcPort());
  sipc_message a;
  ASSERT_EQ(c.command("S", "GetUserInfo", "<args><user mobile-no=\"13900000002\" /></args>", &a),
            200);
  EXPECT_EQ(a.body(), "<results><user uri=\"sip:100000002@tavrin.local;p=1\" /></results>");
  // A number without an account: a stand-in, the same each time, whose login
  // fails as a wrong password does.
  sipc_message unknown, again;
  const char* kNobody = "<args><user mobile-no=\"13912345678\" /></args>";
  ASSERT_EQ(c.command("S", "GetUserInfo", kNobody, &unknown), 200);
  ASSERT_EQ(c.command("S", "GetUserInfo", kNobody, &again), 200);
  EXPECT_EQ(unknown.body(), again.body());
  std::smatch number;
  const std::string body = unknown.body();
  ASSERT_TRUE(std::regex_search(body, number, std::regex("sip:([0-9]{9})@"))) << body;
  EXPECT_EQ(SipcClient(server.sipcPort()).login(number[1].str(), "anything"), 401);
  const struct {
    const char* body;
    int status;
  } refused[] = {
      {"<args><user mobile-no=\"12\" /></args>", 400},
      {"<args><user sid=\"100000002\" /></args>", 400},  // by number: not before login
      {"not xml", 400},
      {"", 400},
  };
  for (const auto& r : refused) EXPECT_EQ(c.command("S", "GetUserInfo", r.body), r.status) << r.body;

  ASSERT_EQ(c.login("100000003", "carol123"), 200);
  ASSERT_EQ(bob.command("S", "GetUserInfo", "", &a), 200);
  EXPECT_TRUE(has(a.body(), "uri=\"sip:100000002@tavrin.local;p=1\""));
  EXPECT_TRUE(has(a.body(), "user-status=\"600\""));
  // A contact sees Bob's presence and number; Mallory, whom Alice blocks,
  // sees neither of Alice's.
  ASSERT_EQ(c.command("S", "GetUserInfo", "<args><user sid=\"100000002\" /></args>", &a), 200);
  EXPECT_TRUE(has(a.body(), "mobile-no=\"13900000002\" user-status=\"600\"")) << a.body();
  SipcClient alice(server.sipcPort()), mallory(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123", "400"), 200);
  ASSERT_EQ(mallory.login("100000007", "mallory123"), 200);
  ASSERT_EQ(mallory.command("S", "GetUserInfo", "<args><user sid=\"100000001\" /></args>", &a),
            200);
  EXPECT_TRUE(has(a.body(), "mobile-no=\"\" user-status=\"0\"")) << a.body();
}

// Lookups before login are slowed per address like wrong passwords.
TEST_F(SessionTest, LookupsBeforeLoginAreSlowedPerAddress) {
  const char* kBob = "<args><user mobile-no=\"13900000002\" /></args>";
  SipcClient c(server.sipcPort());
  int allowed = 0;
  while (allowed < 100 && c.command("S", "GetUserInfo", kBob) == 200) ++allowed;
  EXPECT_GE(allowed, 20);
  EXPECT_LT(allowed, 100);
  EXPECT_EQ(SipcClient(server.sipcPort()).command("S", "GetUserInfo", kBob), 403)
      << "the address is held back, not the connection";
  EXPECT_EQ(SipcClient(server.sipcPort(), 0x7f000002).command("S", "GetUserInfo", kBob), 200)
      << "another address is not";
}

TEST_F(SessionTest, ProfileCommandsAnswerWithTheirElements) {
  SipcClient c(server.sipcPort());
  ASSERT_EQ(c.login("100000001", "alice123"), 200);
  sipc_message a;
  ASSERT_EQ(c.command("S", "GetPersonalInfo", "<args><personal attributes=\"all\" /></args>", &a),
            200);
  EXPECT_TRUE(has(a.body(), "<results><personal"));
  EXPECT_TRUE(has(a.body(), "nickname=\"Alice\""));
  ASSERT_EQ(c.command("S", "GetScore", "", &a), 200);
  EXPECT_TRUE(has(a.body(), "<score value=\""));
  // Text the user typed comes back escaped, so the answer stays a document.
  ASSERT_EQ(c.command("S", "SetPersonalInfo",
                      "<args><personal impresa=\"a &amp; &lt;b&gt;\" /></args>", &a),
            200);
  EXPECT_TRUE(has(a.body(), "impresa=\"a &amp; &lt;b&gt;\""));
  ASSERT_EQ(
      c.command("S", "SetPresence",
                "<args><presence><extended type=\"sms\">7.00:00:00</extended></presence></args>",
                &a),
      200);
  EXPECT_TRUE(has(a.body(), "<extended type=\"sms\">7.00:00:00</extended>"));
  ASSERT_EQ(c.command("S", "GetContactsInfo",
                      "<args><contacts attributes=\"all\"><contact "
                      "uri=\"sip:100000002@tavrin.local;p=1\" /></contacts></args>",
                      &a),
            200);
  EXPECT_TRUE(has(a.body(), "<contact uri=\"sip:100000002@tavrin.local;p=1\""));
  EXPECT_TRUE(has(a.body(), "nickname=\"Bob\""));
  EXPECT_EQ(c.command("S", "NoSuchCommand", ""), 501);
  EXPECT_EQ(c.command("S", "SetPresence", "<args><nothing /></args>"), 400);
}

TEST_F(SessionTest, SubscriptionThenPresenceEvents) {
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  int32_t sub = alice.nextCallId();
  sipc_message s = alice.request(
      "SUB", sub, 1,
      "<args><subscription><contacts><contact uri=\"sip:100000002@tavrin.local;p=1\" /></contacts>"
      "<presence><basic attributes=\"all\" /><personal attributes=\"all\" /><extended "
      "types=\"sms;location\" /></presence></subscription></args>");
  s.add_header("N", "presence");
  alice.send(s);
  sipc_message ok, ev;
  ASSERT_TRUE(alice.answer(sub, 1, ok));
  EXPECT_EQ(ok.status(), 200);
  ASSERT_TRUE(alice.expect(event(sub, "SubscribeResult"), ev));
  EXPECT_TRUE(has(ev.body(), "nickname=\"Bob\""));
  ASSERT_TRUE(alice.expect(event(sub, "PresenceChanged"), ev));
  EXPECT_TRUE(has(ev.body(), "<basic value=\"0\""));  // Bob is not signed in yet

  SipcClient bob(server.sipcPort());
  ASSERT_EQ(bob.login("100000002", "bob123", "400"), 200);
  ASSERT_TRUE(alice.expect(event(sub, "PresenceChanged"), ev));
  EXPECT_TRUE(has(ev.body(), "<presence uri=\"sip:100000002@tavrin.local;p=1\">"));
  EXPECT_TRUE(has(ev.body(), "<basic value=\"400\""));

  ASSERT_EQ(
      bob.command("S", "SetPresence", "<args><presence><basic value=\"600\" /></presence></args>"),
      200);
  ASSERT_TRUE(alice.expect(event(sub, "PresenceChanged"), ev));
  EXPECT_TRUE(has(ev.body(), "<basic value=\"600\""));

  ASSERT_EQ(bob.command("S", "SetPersonalInfo", "<args><personal nickname=\"Bobby\" /></args>"),
            200);
  ASSERT_TRUE(alice.expect(event(sub, "PresenceChanged"), ev));
  EXPECT_TRUE(has(ev.body(), "nickname=\"Bobby\""));
  EXPECT_FALSE(has(ev.body(), "<basic"));

  bob.send(bob.request("R", 1, 3));  // keep-alive, then the connection drops
  sipc_message ka;
  ASSERT_TRUE(bob.answer(1, 3, ka));
}

TEST_F(SessionTest, DisconnectShowsOffline) {
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  {
    SipcClient carol(server.sipcPort());
    ASSERT_EQ(carol.login("100000003", "carol123"), 200);
    int32_t sub = alice.nextCallId();
    sipc_message s =
        alice.request("SUB", sub, 1,
                      "<args><subscription><contacts><contact "
                      "uri=\"sip:100000003@tavrin.local;p=1\" /></contacts>"
                      "<presence><basic attributes=\"all\" /></presence></subscription></args>");
    s.add_header("N", "presence");
    alice.send(s);
    sipc_message ev;
    ASSERT_TRUE(alice.expect(event(sub, "<basic value=\"400\""), ev));
  }
  sipc_message off;
  EXPECT_TRUE(alice.expect(
      [](const sipc_message& m) {
        return m.method() == "BN" && m.body().find("<basic value=\"0\"") != std::string::npos;
      },
      off));
}

TEST_F(SessionTest, ContactRequestAcceptedUpdatesBothSides) {
  SipcClient dave(server.sipcPort()), bob(server.sipcPort());
  ASSERT_EQ(dave.login("100000004", "dave123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  sipc_message a;
  ASSERT_EQ(dave.command("S", "AddBuddy",
                         "<args><contacts><buddies><buddy uri=\"sip:100000002\" local-name=\"B\" "
                         "buddy-lists=\"1\" desc=\"Dave here\" expose-mobile-no=\"1\" "
                         "expose-name=\"1\" /></buddies></contacts></args>",
                         &a),
            200);
  EXPECT_TRUE(has(a.body(), "relation-status=\"0\""));
  sipc_message app;
  ASSERT_TRUE(bob.expect(event(1, "Dave here"), app));  // Mallory's demo request comes too
  EXPECT_EQ(*app.get_header("N"), "contact");
  EXPECT_TRUE(
      has(app.body(), "<application uri=\"sip:100000004@tavrin.local;p=1\" desc=\"Dave here\""));

  ASSERT_EQ(bob.command("S", "HandleContactRequest",
                        "<args><contacts><buddies><buddy uri=\"sip:100000004@tavrin.local;p=1\" "
                        "result=\"1\" buddy-lists=\"2\" expose-mobile-no=\"0\" expose-name=\"0\" "
                        "local-name=\"D\" /></buddies></contacts></args>"),
            200);
  sipc_message upd;
  ASSERT_TRUE(dave.expect(event(1, "UpdateBuddy"), upd));
  EXPECT_TRUE(has(upd.body(), "relation-status=\"1\""));
  ASSERT_EQ(bob.command("S", "GetContactList", kContactList, &a), 200);
  EXPECT_TRUE(
      has(a.body(),
          "<buddy uri=\"sip:100000004@tavrin.local;p=1\" user-id=\"100000004\" local-name=\"D\""));
  // A second answer to the same request finds nothing to settle.
  EXPECT_EQ(bob.command("S", "HandleContactRequest",
                        "<args><contacts><buddies><buddy uri=\"sip:100000004@tavrin.local;p=1\" "
                        "result=\"1\" /></buddies></contacts></args>"),
            404);
}

TEST_F(SessionTest, AddByMobileNumber) {
  SipcClient c(server.sipcPort());
  ASSERT_EQ(c.login("100000005", "erin123"), 200);
  const char* unknown =
      "<args><contacts><buddies><buddy uri=\"tel:13711112222\" local-name=\"X\" buddy-lists=\"1\" "
      "desc=\"\" expose-mobile-no=\"1\" expose-name=\"1\" /></buddies></contacts></args>";
  EXPECT_EQ(c.command("S", "AddBuddy", unknown), 522);
  sipc_message a;
  ASSERT_EQ(c.command("S", "AddMobileBuddy",
                      "<args><contacts><mobile-buddies><mobile-buddy uri=\"tel:13711112222\" "
                      "local-name=\"X\" buddy-lists=\"1\" desc=\"\" expose-mobile-no=\"1\" "
                      "expose-name=\"1\" /></mobile-buddies></contacts></args>",
                      &a),
            200);
  EXPECT_TRUE(has(a.body(), "<mobile-buddy uri=\"tel:13711112222\""));
  // A mobile number that belongs to an account adds that account.
  ASSERT_EQ(c.command("S", "AddBuddy",
                      "<args><contacts><buddies><buddy uri=\"tel:13900000003\" local-name=\"C\" "
                      "buddy-lists=\"1\" desc=\"\" expose-mobile-no=\"1\" expose-name=\"1\" "
                      "/></buddies></contacts></args>",
                      &a),
            200);
  EXPECT_TRUE(has(a.body(), "<buddy uri=\"sip:100000003@tavrin.local;p=1\""));
}

TEST_F(SessionTest, BuddyListsBlacklistAndGroups) {
  SipcClient c(server.sipcPort());
  ASSERT_EQ(c.login("100000001", "alice123"), 200);
  sipc_message a;
  ASSERT_EQ(c.command("S", "CreateBuddyList",
                      "<args><contacts><buddy-lists><buddy-list name=\"New\" "
                      "/></buddy-lists></contacts></args>",
                      &a),
            200);
  EXPECT_TRUE(has(a.body(), "<buddy-list id=\"3\" name=\"New\""));
  EXPECT_EQ(c.command("S", "SetBuddyListInfo",
                      "<args><contacts><buddy-lists><buddy-list id=\"3\" name=\"Renamed\" "
                      "/></buddy-lists></contacts></args>"),
            200);
  EXPECT_EQ(
      c.command(
          "S", "DeleteBuddyList",
          "<args><contacts><buddy-lists><buddy-list id=\"3\" /></buddy-lists></contacts></args>"),
      200);
  EXPECT_EQ(
      c.command(
          "S", "DeleteBuddyList",
          "<args><contacts><buddy-lists><buddy-list id=\"3\" /></buddy-lists></contacts></args>"),
      404);
  ASSERT_EQ(c.command("S", "SetBuddyLists",
                      "<args><contacts><buddies><buddy uri=\"sip:100000002@tavrin.local;p=1\" "
                      "buddy-lists=\"2\" /></buddies></contacts></args>",
                      &a),
            200);
  EXPECT_TRUE(has(a.body(), "buddy-lists=\"2\""));
  ASSERT_EQ(c.command("S", "AddToBlacklist",
                      "<args><contacts><blacklist><blocked uri=\"sip:100000003@tavrin.local;p=1\" "
                      "/></blacklist></contacts></args>",
                      &a),
            200);
  EXPECT_TRUE(has(a.body(), "<blocked uri=\"sip:100000003@tavrin.local;p=1\""));
  EXPECT_EQ(c.command("S", "RemoveFromBlacklist",
                      "<args><contacts><blacklist><blocked uri=\"sip:100000003@tavrin.local;p=1\" "
                      "/></blacklist></contacts></args>"),
            200);
  EXPECT_EQ(c.command("S", "DeleteBuddy",
                      "<args><contacts><buddies><buddy uri=\"sip:100000006@tavrin.local;p=1\" "
                      "/></buddies></contacts></args>"),
            200);

  ASSERT_EQ(c.command("S", "PGGetGroupList",
                      "<args><group-list version=\"5\" attributes=\"name;identity\" /></args>", &a),
            200);
  EXPECT_TRUE(has(a.body(), "<group uri=\"sip:PG123456@tavrin.local\""));
  EXPECT_TRUE(has(a.body(), "<group uri=\"sip:PG234567@tavrin.local\""));
  ASSERT_EQ(
      c.command("S", "PGGetGroupMembers",
                "<args><groups "
                "attributes=\"member-uri;member-nickname;member-oxanickname;member-identity\">"
                "<group uri=\"sip:PG123456@tavrin.local\" members-major-version=\"2\" "
                "members-minor-version=\"2\" /></groups></args>",
                &a),
      200);
  EXPECT_TRUE(has(a.body(), "<member uri=\"sip:100000009@tavrin.local;p=1\" nickname=\"Echo\""));

  int32_t sub = c.nextCallId();
  sipc_message s =
      c.request("SUB", sub, 1,
                "<args><subscription><groups><group uri=\"sip:PG123456@tavrin.local\" /></groups>"
                "<presence><basic attributes=\"all\" /><member attributes=\"identity\" />"
                "<management attributes=\"all\" /></presence></subscription></args>");
  s.add_header("N", "PGPresence");
  c.send(s);
  ASSERT_TRUE(c.answer(sub, 1, a));
  EXPECT_EQ(a.status(), 200);
  sipc_message ev;
  ASSERT_TRUE(c.expect(event(sub, "PresenceChanged"), ev));
  EXPECT_TRUE(has(ev.body(), "name=\"Tavrin fans\""));
  EXPECT_EQ(*ev.get_header("N"), "PGPresence");
}

}  // namespace

namespace {

TEST(OwnPresenceTest, OwnSubscriptionEchoesStatusAndRefuseDays) {
  ServerProcess server;
  SipcClient c(server.sipcPort());
  ASSERT_EQ(c.login("100000004", "dave123"), 200);
  int32_t sub = c.nextCallId();
  sipc_message s = c.request(
      "SUB", sub, 1,
      "<args><subscription><contacts><contact uri=\"sip:100000004@tavrin.local;p=1\" /></contacts>"
      "<presence><extended types=\"sms;location\" /></presence></subscription></args>");
  s.add_header("N", "presence");
  c.send(s);
  sipc_message ok, ev;
  ASSERT_TRUE(c.answer(sub, 1, ok));
  ASSERT_TRUE(c.expect(event(sub, "PresenceChanged"), ev));
  ASSERT_EQ(
      c.command("S", "SetPresence", "<args><presence><basic value=\"100\" /></presence></args>"),
      200);
  ASSERT_TRUE(c.expect(event(sub, "<basic value=\"100\""), ev));
  EXPECT_TRUE(has(ev.body(), "<presence uri=\"sip:100000004@tavrin.local;p=1\">"));
  ASSERT_EQ(
      c.command("S", "SetPresence",
                "<args><presence><extended type=\"sms\">2.00:00:00</extended></presence></args>"),
      200);
  ASSERT_TRUE(c.expect(event(sub, "<extended type=\"sms\">2.00:00:00</extended>"), ev));
}

}  // namespace
