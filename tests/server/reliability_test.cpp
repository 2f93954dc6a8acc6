// No line lost without a report, with the real server and planted faults: a
// disk that refuses every write (the line's sender hears a failure, never a
// 200), a connection cut right after GetOfflineMessages (the lines come
// again at the next login), a backlog handed over batch by batch as the
// reader answers, the offline box's caps, and the data folder's permissions
// (its database holds login-equivalent keys).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server_child.h"
#include "server_process.h"
#include "sipc_client.h"
#include "temp_dir.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

constexpr const char* kCarol = "sip:100000003@tavrin.local;p=1";

sipc_message line(SipcClient& c, int32_t callId, const std::string& text) {
  sipc_message m = c.request("M", callId, 2, text);
  m.add_header("T", kCarol);
  m.add_header("C", "text/html-fragment");
  m.add_header("K", "SaveHistory");
  return m;
}

int sendLine(SipcClient& c, int32_t callId, const std::string& text) {
  c.send(line(c, callId, text));
  sipc_message answer;
  return c.answer(callId, 2, answer) ? answer.status() : -1;
}

// Every file write of the process fails from now on (or works again).
// Only the soft limit moves: lowering and raising it again needs no privilege.
bool refuseWrites(pid_t pid, bool refuse) {
  rlimit limit{};
  if (prlimit(pid, RLIMIT_FSIZE, nullptr, &limit) != 0) return false;
  limit.rlim_cur = refuse ? 0 : limit.rlim_max;
  return prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

// The offline lines GetOfflineMessages hands out on this connection.
std::vector<sipc_message> fetchOffline(SipcClient& c, size_t expected) {
  std::vector<sipc_message> lines;
  if (c.command("S", "GetOfflineMessages", "") != 200) return lines;
  sipc_message m;
  while (lines.size() < expected &&
         c.expect([](const sipc_message& x) { return !x.is_response() && x.method() == "M"; }, m))
    lines.push_back(m);
  return lines;
}

int offlineCount(SipcClient& c) {
  sipc_message answer;
  if (c.command("S", "GetOfflineMessages", "", &answer) != 200) return -1;
  const std::string& body = answer.body();
  const size_t at = body.find("count=\"");
  return at == std::string::npos ? -1 : std::stoi(body.substr(at + 7));
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}

TEST(ReliabilityTest, ALineTheDiskRefusedIsAFailureNotA200) {
  ServerProcess server;
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_TRUE(refuseWrites(server.pid(), true));
  const int refused = sendLine(alice, 40, "lost?");
  EXPECT_GE(refused, 401) << "a line that was never stored must not be answered 200";
  // Nothing else came for that line (no 200 before or after the failure).
  sipc_message more;
  EXPECT_FALSE(alice.expect([](const sipc_message& m) { return m.is_response(); }, more,
                            std::chrono::milliseconds(300)));
  ASSERT_TRUE(refuseWrites(server.pid(), false));
  EXPECT_EQ(sendLine(alice, 41, "stored"), 200);

  SipcClient carol(server.sipcPort());
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  const auto lines = fetchOffline(carol, 2);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].body(), "stored");
  ASSERT_TRUE(server.alive());
}

TEST(ReliabilityTest, OfflineLinesStayUntilTheRecipientAnswersThem) {
  ServerProcess server;
  {
    SipcClient alice(server.sipcPort());
    ASSERT_EQ(alice.login("100000001", "alice123"), 200);
    for (int i = 0; i < 5; ++i)
      ASSERT_EQ(sendLine(alice, 50 + i, "line " + std::to_string(i)), 200);
  }
  {
    // Handed out, then the connection drops before any answer.
    SipcClient carol(server.sipcPort());
    ASSERT_EQ(carol.login("100000003", "carol123"), 200);
    ASSERT_EQ(fetchOffline(carol, 5).size(), 5u);
    // Asked again on the same connection: still 5 waiting, nothing twice
    // while they are unanswered.
    EXPECT_EQ(offlineCount(carol), 5);
    sipc_message again;
    EXPECT_FALSE(carol.expect([](const sipc_message& x) { return !x.is_response(); }, again,
                              std::chrono::milliseconds(300)));
  }
  {
    SipcClient carol(server.sipcPort());
    ASSERT_EQ(carol.login("100000003", "carol123"), 200);
    const auto lines = fetchOffline(carol, 5);
    ASSERT_EQ(lines.size(), 5u) << "lines lost with the dropped connection";
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].body(), "line " + std::to_string(i));
      sipc_message ok = lines[i];
      ok.set_status(200);
      ok.set_body("");
      carol.send(ok);
    }
    EXPECT_EQ(offlineCount(carol), 0);
  }
  SipcClient carol(server.sipcPort());
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  EXPECT_EQ(offlineCount(carol), 0);
}

// Answers every line of the list with 200, as the engine does.
void answerAll(SipcClient& c, const std::vector<sipc_message>& lines) {
  for (sipc_message ok : lines) {
    ok.set_status(200);
    ok.set_body("");
    c.send(ok);
  }
}

TEST(ReliabilityTest, ABacklogComesBatchByBatchAsTheReaderAnswers) {
  ServerProcess server;
  constexpr int kLines = 120;
  const std::string pad(10 * 1024, 'x');
  {
    SipcClient alice(server.sipcPort());
    ASSERT_EQ(alice.login("100000001", "alice123"), 200);
    for (int i = 0; i < kLines; ++i)
      ASSERT_EQ(sendLine(alice, 100 + i, std::to_string(i) + " " + pad), 200) << i;
  }
  SipcClient carol(server.sipcPort());
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  EXPECT_EQ(offlineCount(carol), kLines);
  std::vector<std::string> got;
  const auto isLine = [](const sipc_message& x) { return !x.is_response() && x.method() == "M"; };
  sipc_message m;
  int batches = 0;
  while (got.size() < size_t(kLines)) {
    // A batch, then nothing more until it is answered.
    std::vector<sipc_message> batch;
    while (carol.expect(isLine, m, std::chrono::milliseconds(batch.empty() ? 3000 : 300)))
      batch.push_back(m);
    ASSERT_FALSE(batch.empty()) << "stalled after " << got.size();
    ASSERT_LT(batch.size(), size_t(kLines));
    for (const sipc_message& l : batch) got.push_back(l.body().substr(0, l.body().find(' ')));
    answerAll(carol, batch);
    ++batches;
  }
  EXPECT_GT(batches, 1);
  for (int i = 0; i < kLines; ++i) EXPECT_EQ(got[size_t(i)], std::to_string(i));
  EXPECT_FALSE(carol.expect(isLine, m, std::chrono::milliseconds(300)));
  EXPECT_EQ(offlineCount(carol), 0);
}

TEST(ReliabilityTest, AFullOfflineBoxRefusesTheLineAndFreesAsItIsRead) {
  // Room for 4 lines, at most 2 from one sender, 64 bytes from one sender.
  ServerProcess server({"--demo", "--offline-lines", "4", "--offline-sender-lines", "2",
                        "--offline-sender-bytes", "64"});
  SipcClient alice(server.sipcPort()), bob(server.sipcPort()), dave(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  ASSERT_EQ(dave.login("100000004", "dave123"), 200);
  const struct {
    SipcClient* from;
    std::string text;
    int status;
  } steps[] = {
      {&alice, std::string(65, 'a'), 486},  // larger than a sender's byte share
      {&alice, "a1", 200},
      {&alice, "a2", 200},
      {&alice, "a3", 486},  // Alice's share of the lines is used
      {&bob, "b1", 200},
      {&bob, "b2", 200},
      {&dave, "d1", 486},  // the box is full
  };
  int32_t callId = 200;
  for (const auto& step : steps)
    EXPECT_EQ(sendLine(*step.from, callId++, step.text), step.status) << step.text;

  {
    SipcClient carol(server.sipcPort());
    ASSERT_EQ(carol.login("100000003", "carol123"), 200);
    const auto lines = fetchOffline(carol, 4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].body() + lines[1].body() + lines[2].body() + lines[3].body(), "a1a2b1b2");
    answerAll(carol, lines);
    EXPECT_EQ(offlineCount(carol), 0);  // the answers were taken first
  }
  // Once the server has seen Carol go, a line for her is stored again: the
  // lines she read made room.
  bool offline = false;
  for (int i = 0; i < 100 && !offline; ++i) {
    sipc_message info;
    alice.command("S", "GetUserInfo", "<args><user sid=\"100000003\" /></args>", &info);
    offline = info.body().find("user-status=\"0\"") != std::string::npos;
    if (!offline) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(offline);
  EXPECT_EQ(sendLine(dave, callId++, "d2"), 200);
  SipcClient carol(server.sipcPort());
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  const auto later = fetchOffline(carol, 1);
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(later[0].body(), "d2");
}

// One sender's offline lines are capped across every recipient together,
// and a sender the recipient has not listed gets a sixteenth of a contact's
// share of the box.
TEST(ReliabilityTest, OneSendersOfflineBytesAreCappedAcrossRecipients) {
  ServerProcess server({"--demo", "--offline-sender-bytes", "64", "--offline-sender-total", "100"});
  SipcClient alice(server.sipcPort()), dave(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(dave.login("100000004", "dave123"), 200);
  const struct {
    SipcClient* from;
    const char* to;
    size_t bytes;
    int status;
  } steps[] = {
      {&dave, "sip:100000003@tavrin.local", 5, 486},   // a stranger to Carol: 4 bytes at most
      {&dave, "sip:100000003@tavrin.local", 4, 200},
      {&alice, "sip:100000003@tavrin.local", 60, 200},  // Carol's contact: 64
      {&alice, "sip:100000002@tavrin.local", 60, 486},  // 120 in all: over Alice's 100
      {&alice, "sip:100000002@tavrin.local", 40, 200},
      {&alice, "sip:100000006@tavrin.local", 1, 486},
  };
  for (const auto& step : steps)
    EXPECT_EQ(step.from->command("M", "", std::string(step.bytes, 'x'), nullptr, step.to),
              step.status)
        << step.to << " " << step.bytes;
  // Carol reads hers: Alice's total has room again.
  {
    SipcClient carol(server.sipcPort());
    ASSERT_EQ(carol.login("100000003", "carol123"), 200);
    answerAll(carol, fetchOffline(carol, 2));
    EXPECT_EQ(offlineCount(carol), 0);
  }
  EXPECT_EQ(alice.command("M", "", std::string(50, 'y'), nullptr, "sip:100000006@tavrin.local"),
            200);
}

TEST(ReliabilityTest, TheDataFolderDatabaseAndKeysAreTheOwnersAlone) {
  TempDir scratch("tavrin-perm-test");
  ASSERT_FALSE(scratch.path.empty());
  const std::string fresh = scratch.file("fresh"), old = scratch.file("old");
  // A folder, database and TLS keys from a run before the server narrowed them.
  {
    ServerChild first;
    first.start({TAVRIN_SERVER_BIN, "--data", old, "--nav-port", "0", "--sipc-port", "0",
                 "--signin-port", "0"},
                {});
    ASSERT_GT(first.sipc(), 0);
  }
  for (const char* path : {"", "/tls"}) ::chmod((old + path).c_str(), 0755);
  for (const char* file : {"/tavrin-server.db", "/tls/ca-key.pem", "/tls/server-key.pem"})
    ::chmod((old + file).c_str(), 0644);
  for (const std::string& data : {fresh, old}) {
    ServerChild child;
    child.start({TAVRIN_SERVER_BIN, "--data", data, "--demo", "--nav-port", "0", "--sipc-port", "0",
                 "--signin-port", "0"},
                {});
    ASSERT_GT(child.sipc(), 0);
    {
      SipcClient alice(child.sipc());  // a login writes, so -wal and -shm exist
      ASSERT_EQ(alice.login("100000001", "alice123"), 200);
      EXPECT_EQ(sendLine(alice, 40, "x"), 200);
    }
    for (const char* folder : {"", "/tls"})
      EXPECT_EQ(modeOf(data + folder), 0700u) << data + folder;
    for (const char* file : {"/tavrin-server.db", "/tavrin-server.db-wal", "/tavrin-server.db-shm",
                             "/tls/ca-key.pem", "/tls/server-key.pem"})
      EXPECT_EQ(modeOf(data + file), 0600u) << data + file;
  }
}

}  // namespace
