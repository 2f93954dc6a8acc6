// Scheduled SMS reaching the outbox at their time, driven by the server's
// test clock (--test-clock FILE), and SMS refused by a receiver who set
// refuse-SMS days. The outbox is read from the server's SQLite file, as
// the client's screen tests read it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "server_process.h"
#include "sipc_client.h"
#include "temp_dir.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr const char* kBob = "sip:100000002@tavrin.local;p=1";

// The first column of the first row of a query on the server's file; -1 when it fails.
std::string queryText(const std::string& dbPath, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string out = "-1";
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 1000);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
      const int rc = sqlite3_step(s);
      if (rc == SQLITE_ROW)
        out = sqlite3_column_text(s, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0))
                                        : "";
      else if (rc == SQLITE_DONE)
        out.clear();
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

long count(const std::string& dbPath, const std::string& sql) {
  return std::stol(queryText(dbPath, sql));
}

// Polls until the count reaches `want` (the server ticks once a second); the last count.
long countWithin(const std::string& dbPath, const std::string& sql, long want, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  long n = count(dbPath, sql);
  while (n != want && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    n = count(dbPath, sql);
  }
  return n;
}

void setClock(const std::string& file, const char* time) {
  std::ofstream(file, std::ios::trunc) << time << "\n";
}

int schedule(SipcClient& c, const char* when, const char* text, sipc_message* answer = nullptr) {
  return c.command(
      "S", "SSSetScheduleSms",
      std::string("<args><schedule-sms send-time=\"") + when + "\"><message>" + text +
          "</message><receivers><receiver uri=\"" + kBob +
          "\" /><receiver uri=\"tel:13800138000\" /></receivers></schedule-sms></args>",
      answer);
}

TEST(ScheduleDeliveryTest, ScheduledSmsReachTheOutboxWhenTheClockReachesTheirTime) {
  TempDir dir("tavrin-clock");
  const std::string clock = dir.file("clock");  // no file yet: the clock stands still
  ServerProcess server({"--demo", "--test-clock", clock});
  ASSERT_TRUE(server.running());
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(schedule(alice, "2000-01-01 08:00:00", "long overdue"), 200);
  sipc_message a;
  ASSERT_EQ(schedule(alice, "2030-06-15 10:30:00", "half past ten", &a), 200);
  EXPECT_NE(a.body().find("<schedule-sms id=\"2\""), std::string::npos) << a.body();
  const std::string db = server.dataDir() + "/tavrin-server.db";
  const std::string outbox = "SELECT count(*) FROM outbox WHERE command='ScheduleSMS'";

  // Without a readable clock nothing falls due, however old.
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  EXPECT_EQ(count(db, outbox), 0);

  // Two seconds before half past ten: only the overdue one goes, to both receivers.
  setClock(clock, "2030-06-15 10:29:58");
  EXPECT_EQ(countWithin(db, outbox, 2), 2);
  EXPECT_EQ(count(db, outbox + " AND body='long overdue' AND schedule_id=1"), 2);
  EXPECT_EQ(count(db, "SELECT count(*) FROM schedule_sms"), 1);

  // At half past ten the second goes, and the server no longer lists it.
  setClock(clock, "2030-06-15 10:30:00");
  EXPECT_EQ(countWithin(db, outbox + " AND schedule_id=2", 2), 2);
  EXPECT_EQ(count(db, outbox + " AND body='half past ten' AND target LIKE 'sip:100000002@%'"), 1);
  EXPECT_EQ(count(db, outbox + " AND body='half past ten' AND target='tel:13800138000'"), 1);
  EXPECT_EQ(queryText(db, "SELECT sender FROM outbox WHERE schedule_id=2"), "100000001");
  ASSERT_EQ(alice.command("S", "SSGetScheduleSmsList",
                          "<args><schedule-sms-list version=\"\"/></args>", &a),
            200);
  EXPECT_EQ(a.body().find("<schedule-sms id="), std::string::npos) << a.body();
}

TEST(ScheduleDeliveryTest, AReceiverWhoRefusesSmsGets486AndOthersStillGetTheirs) {
  ServerProcess server;
  SipcClient alice(server.sipcPort()), bob(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  ASSERT_EQ(bob.command("S", "SetPresence",
                        "<args><presence><extended type=\"sms\">3.00:00:00</extended></presence>"
                        "</args>"),
            200);
  EXPECT_EQ(alice.command("M", "SendSMS", "to carol", nullptr, "sip:100000003@tavrin.local"), 280);
  EXPECT_EQ(alice.command("M", "SendSMS", "to bob", nullptr, kBob), 486);
  EXPECT_EQ(alice.command("M", "SendSMS", "to echo", nullptr, "sip:100000009@tavrin.local"), 280);
  // Bob's own phone still takes what he sends himself.
  EXPECT_EQ(bob.command("M", "SendSMS", "note to self", nullptr, kBob), 280);
  const std::string db = server.dataDir() + "/tavrin-server.db";
  EXPECT_EQ(count(db, "SELECT count(*) FROM outbox WHERE body='to bob'"), 0);
  EXPECT_EQ(count(db, "SELECT count(*) FROM outbox WHERE body IN ('to carol','to echo')"), 2);
  // Back to zero days: SMS reach him again.
  ASSERT_EQ(bob.command("S", "SetPresence",
                        "<args><presence><extended type=\"sms\">00:00:00</extended></presence>"
                        "</args>"),
            200);
  EXPECT_EQ(alice.command("M", "SendSMS", "to bob again", nullptr, kBob), 280);
}

}  // namespace
