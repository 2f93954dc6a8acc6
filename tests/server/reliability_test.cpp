// No line lost without a report, with the real server and planted faults: a
// disk that refuses every write (the line's sender hears a failure, never a
// 200), a connection cut right after GetOfflineMessages (the lines come
// again at the next login), and the data folder's permissions (its
// database holds login-equivalent keys).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
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
    // Asked again on the same connection: nothing twice while unanswered.
    EXPECT_EQ(offlineCount(carol), 0);
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
