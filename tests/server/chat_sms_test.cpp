// Chats and SMS through the real server: invitations, lines relayed between
// two connections, offline messages, ended dialogs, nudges and the echo
// account, group chats, SMS into the outbox with the daily limit, and
// scheduled SMS.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include "server_process.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr const char* kAlice = "sip:100000001@tavrin.local;p=1";
constexpr const char* kBob = "sip:100000002@tavrin.local;p=1";
constexpr const char* kEcho = "sip:100000009@tavrin.local;p=1";
constexpr const char* kNudge = "<is-composing><state>nudge</state></is-composing>";

std::function<bool(const sipc_message&)> incoming(const char* method, const std::string& text) {
  return [=](const sipc_message& m) {
    return !m.is_response() && m.method() == method && m.body().find(text) != std::string::npos;
  };
}

sipc_message line(SipcClient& c, int32_t callId, int32_t seq, const char* to, const char* text) {
  sipc_message m = c.request("M", callId, seq, text);
  m.add_header("T", to);
  m.add_header("C", "text/html-fragment");
  m.add_header("K", "SaveHistory");
  return m;
}

int invite(SipcClient& c, int32_t callId, const char* to) {
  sipc_message i = c.request("I", callId, 1, "v=0\r\n");
  i.add_header("T", to);
  i.add_header("K", "text/html-fragment");
  i.add_header("K", "multiparty");
  i.add_header("K", "nudge");
  c.send(i);
  sipc_message first, ok;
  if (!c.expect([&](const sipc_message& m) { return m.is_response() && m.call_id() == callId; },
                first))
    return -1;
  if (first.status() >= 200) return first.status();  // refused without "Trying"
  if (!c.answer(callId, 1, ok)) return -1;
  if (ok.status() == 200 &&
      (!ok.get_header("T") || ok.body().find("m=message") == std::string::npos))
    return -2;
  return ok.status();
}

long countRows(const std::string& dbPath, const char* sql) {
  sqlite3* db = nullptr;
  long n = -1;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      n = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return n;
}

TEST(ChatTest, LinesRelayedBetweenTwoConnections) {
  ServerProcess server;
  SipcClient alice(server.sipcPort()), bob(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  ASSERT_EQ(invite(alice, 20, kBob), 200);
  alice.send(alice.request("A", 20, 1));

  alice.send(line(alice, 20, 2, kBob, "hello bob"));
  sipc_message ok, got;
  ASSERT_TRUE(alice.answer(20, 2, ok));
  EXPECT_EQ(ok.status(), 200);
  ASSERT_TRUE(bob.expect(incoming("M", "hello bob"), got));
  EXPECT_EQ(*got.get_header("F"), kAlice);
  EXPECT_NE(got.get_header("D"), nullptr);
  EXPECT_EQ(got.get_header("SO"), nullptr);
  // Bob answers the relayed line as the engine does; then replies in a dialog of his own.
  sipc_message ack = got;
  ack.set_status(200);
  bob.send(ack);
  ASSERT_EQ(invite(bob, 30, kAlice), 200);
  bob.send(line(bob, 30, 2, kAlice, "hi alice"));
  ASSERT_TRUE(bob.answer(30, 2, ok));
  ASSERT_TRUE(alice.expect(incoming("M", "hi alice"), got));
  EXPECT_EQ(*got.get_header("F"), kBob);
  // Lines for Alice now travel on the dialog she opened.
  EXPECT_EQ(got.call_id(), 20);

  // A nudge goes the same way.
  sipc_message nudge = alice.request("IN", 20, 3, kNudge);
  nudge.add_header("T", kBob);
  alice.send(nudge);
  ASSERT_TRUE(alice.answer(20, 3, ok));
  ASSERT_TRUE(bob.expect(incoming("IN", "nudge"), got));

  // Ending the dialog: the peer hears "B", and the call is gone for good.
  alice.send(alice.request("B", 20, 4));
  ASSERT_TRUE(alice.answer(20, 4, ok));
  EXPECT_EQ(ok.status(), 200);
  ASSERT_TRUE(
      bob.expect([](const sipc_message& m) { return !m.is_response() && m.method() == "B"; }, got));
  EXPECT_EQ(got.call_id(), 30);
  alice.send(line(alice, 20, 5, kBob, "too late"));
  ASSERT_TRUE(alice.answer(20, 5, ok));
  EXPECT_EQ(ok.status(), 481);
  // A call the server never saw, without a target, is unknown too.
  sipc_message stray = alice.request("M", 77, 2, "who?");
  alice.send(stray);
  ASSERT_TRUE(alice.answer(77, 2, ok));
  EXPECT_EQ(ok.status(), 481);
}

TEST(ChatTest, OfflineLineIsKeptUntilAsked) {
  ServerProcess server;
  {
    SipcClient alice(server.sipcPort());
    ASSERT_EQ(alice.login("100000001", "alice123"), 200);
    alice.send(line(alice, 40, 2, "sip:100000003@tavrin.local;p=1", "while you were out"));
    sipc_message ok;
    ASSERT_TRUE(alice.answer(40, 2, ok));
    EXPECT_EQ(ok.status(), 200);
  }
  SipcClient carol(server.sipcPort());
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  sipc_message got;
  EXPECT_FALSE(
      carol.expect(incoming("M", "while you were out"), got, std::chrono::milliseconds(300)));
  EXPECT_EQ(carol.command("S", "GetOfflineMessages", ""), 200);
  ASSERT_TRUE(carol.expect(incoming("M", "while you were out"), got));
  EXPECT_EQ(*got.get_header("F"), kAlice);
  EXPECT_EQ(carol.command("S", "GetOfflineMessages", ""), 200);
  EXPECT_FALSE(
      carol.expect(incoming("M", "while you were out"), got, std::chrono::milliseconds(300)));
}

TEST(ChatTest, EchoAnswersLinesAndNudges) {
  ServerProcess server;
  SipcClient bob(server.sipcPort());
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  ASSERT_EQ(invite(bob, 50, kEcho), 200);
  bob.send(line(bob, 50, 2, kEcho, "<Font Size=\"16\">ping</Font>"));
  sipc_message got, ok;
  ASSERT_TRUE(bob.answer(50, 2, ok));
  ASSERT_TRUE(bob.expect(incoming("M", "<Font Size=\"16\">ping</Font>"), got));
  EXPECT_EQ(*got.get_header("F"), kEcho);
  EXPECT_EQ(got.call_id(), 50);
  sipc_message nudge = bob.request("IN", 50, 3, kNudge);
  nudge.add_header("T", kEcho);
  bob.send(nudge);
  ASSERT_TRUE(bob.expect(incoming("IN", "nudge"), got));
  EXPECT_EQ(*got.get_header("F"), kEcho);
}

TEST(ChatTest, GroupLinesReachEveryConnectedMember) {
  ServerProcess server;
  SipcClient alice(server.sipcPort()), bob(server.sipcPort()), carol(server.sipcPort()),
      dave(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  ASSERT_EQ(dave.login("100000004", "dave123"), 200);
  const char* group = "sip:PG123456@tavrin.local";
  ASSERT_EQ(invite(alice, 60, group), 200);
  EXPECT_EQ(invite(dave, 61, group), 404);  // not a member
  alice.send(line(alice, 60, 2, group, "hello fans"));
  sipc_message got;
  for (SipcClient* c : {&bob, &carol}) {
    ASSERT_TRUE(c->expect(incoming("M", "hello fans"), got));
    EXPECT_EQ(*got.get_header("F"), group);
    ASSERT_NE(got.get_header("SO"), nullptr);
    EXPECT_EQ(*got.get_header("SO"), kAlice);
  }
  EXPECT_FALSE(alice.expect(incoming("M", "hello fans"), got, std::chrono::milliseconds(200)));
  EXPECT_FALSE(dave.expect(incoming("M", "hello fans"), got, std::chrono::milliseconds(200)));
}

TEST(ChatTest, WithheldAcksLeaveLinesUnanswered) {
  ServerProcess server({"--demo", "--test-withhold-acks"});
  SipcClient alice(server.sipcPort()), bob(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  alice.send(line(alice, 70, 2, kBob, "no answer"));
  sipc_message got, ok;
  ASSERT_TRUE(bob.expect(incoming("M", "no answer"), got));
  EXPECT_FALSE(alice.answer(70, 2, ok));
}

TEST(SmsTest, SmsGoesToTheOutboxUntilTheDailyLimit) {
  ServerProcess server({"--demo", "--sms-daily-limit", "3"});
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  sipc_message a;
  ASSERT_EQ(alice.command("M", "SendSMS", "to bob's phone", &a, kBob), 280);
  EXPECT_NE(a.target().find("Send"), std::string::npos);
  // No SMS gateway: a phone's SMS stays in the outbox, and the sender hears it was not sent.
  EXPECT_EQ(alice.command("M", "SendCatSMS", "a long one", nullptr, "tel:13800138000"), 503);
  EXPECT_EQ(alice.command("M", "PGSendSMS", "to the fans", nullptr, "sip:PG123456@tavrin.local"),
            280);
  EXPECT_EQ(alice.command("M", "SendSMS", "one too many", nullptr, kBob), 486);
  EXPECT_EQ(alice.command("M", "SendSMS", "", nullptr, kBob), 400);
  std::string db = server.dataDir() + "/tavrin-server.db";
  EXPECT_EQ(countRows(db, "SELECT count(*) FROM outbox WHERE sender=100000001"), 2 + 3);
  EXPECT_EQ(
      countRows(
          db,
          "SELECT count(*) FROM outbox WHERE target='tel:13800138000' AND command='SendCatSMS' "
          "AND state=5"),
      1);
}

TEST(SmsTest, ScheduledSmsIsKeptListedAndSentWhenDue) {
  ServerProcess server;
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  sipc_message a;
  auto set = [&](const char* when, const char* text) {
    return alice.command(
        "S", "SSSetScheduleSms",
        std::string("<args><schedule-sms send-time=\"") + when + "\"><message>" + text +
            "</message><receivers><receiver uri=\"" + kBob +
            "\" /><receiver uri=\"tel:13800138000\" /></receivers></schedule-sms></args>",
        &a);
  };
  ASSERT_EQ(set("2099-01-01 08:00:00", "future"), 200);
  EXPECT_NE(a.body().find("<schedule-sms id=\""), std::string::npos);
  ASSERT_EQ(set("2000-01-01 08:00:00", "already due"), 200);
  EXPECT_EQ(set("next tuesday", "never"), 400);

  ASSERT_EQ(alice.command("S", "SSGetScheduleSmsList",
                          "<args><schedule-sms-list version=\"\"/></args>", &a),
            200);
  EXPECT_NE(a.body().find("<schedule-sms id=\"1\""), std::string::npos);
  ASSERT_EQ(
      alice.command("S", "SSGetScheduleSms",
                    "<args><schedule-sms-list><schedule-sms id=\"1\" /></schedule-sms-list></args>",
                    &a),
      200);
  EXPECT_NE(a.body().find("send-time=\"2099-01-01 08:00:00\""), std::string::npos);
  EXPECT_NE(a.body().find("<message>future</message>"), std::string::npos);
  EXPECT_NE(a.body().find("<receiver uri=\"tel:13800138000\""), std::string::npos);

  // The due one moves to the outbox within the server's one-second tick.
  std::string db = server.dataDir() + "/tavrin-server.db";
  long sent = 0;
  for (int i = 0; i < 40 && sent < 2; ++i) {
    usleep(100 * 1000);
    sent = countRows(db, "SELECT count(*) FROM outbox WHERE body='already due'");
  }
  EXPECT_EQ(sent, 2);
  EXPECT_EQ(alice.command(
                "S", "SSDeleteScheduleSms",
                "<args><schedule-sms-list><schedule-sms id=\"1\" /></schedule-sms-list></args>"),
            200);
  EXPECT_EQ(alice.command(
                "S", "SSDeleteScheduleSms",
                "<args><schedule-sms-list><schedule-sms id=\"1\" /></schedule-sms-list></args>"),
            404);
}

}  // namespace
