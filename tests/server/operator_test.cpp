// The operator's tools on the real binary: a backup taken during a chat
// restores to a working server, the metrics page counts what happened and
// passes promtool, --check-config names what is wrong and starts nothing,
// a data folder that is not the server's is refused, and no sign-in
// password reaches the log at the highest verbosity.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "server_process.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

struct ToolRun {
  int status = -1;
  std::string output;  // stdout and stderr
};

// Runs tavrin-server with these words (none holds a space or a quote).
ToolRun runServerTool(const std::vector<std::string>& words, const std::string& input = {}) {
  std::string cmd = TAVRIN_SERVER_BIN;
  for (const std::string& w : words) cmd += " '" + w + "'";
  TempDir io("tavrin-tool");
  const std::string in = io.file("in"), out = io.file("out");
  std::ofstream(in) << input;
  cmd += " <" + in + " >" + out + " 2>&1";
  ToolRun r;
  const int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream o(out);
  std::stringstream text;
  text << o.rdbuf();
  r.output = text.str();
  return r;
}

std::string uriOf(const char* number) {
  return std::string("sip:") + number + "@tavrin.local;p=1";
}

// A chat line outside a dialog; the answer's status.
int sendLine(SipcClient& c, int32_t callId, const char* to, const std::string& text) {
  sipc_message m = c.request("M", callId, 2, text);
  m.add_header("T", uriOf(to));
  m.add_header("C", "text/plain");
  c.send(m);
  sipc_message answer;
  return c.answer(callId, 2, answer) ? answer.status() : -1;
}

// Takes relayed lines as an engine does: each answered 200.
int takeLines(SipcClient& c, int expected) {
  int taken = 0;
  sipc_message m;
  while (taken < expected &&
         c.expect([](const sipc_message& x) { return !x.is_response() && x.method() == "M"; }, m)) {
    std::string answer = "SIP-C/2.0 200 OK\r\nF: " + std::string(*m.get_header("F")) +
                         "\r\nI: " + std::to_string(m.call_id()) + "\r\nQ: " +
                         std::to_string(m.sequence()) + " M\r\n\r\n";
    c.sendRaw(answer);
    ++taken;
  }
  return taken;
}

std::vector<std::string> offlineBodies(SipcClient& c) {
  std::vector<std::string> bodies;
  if (c.command("S", "GetOfflineMessages", "") != 200) return bodies;
  sipc_message m;
  while (c.expect([](const sipc_message& x) { return !x.is_response() && x.method() == "M"; }, m,
                  std::chrono::milliseconds(1000)))
    bodies.push_back(m.body());
  return bodies;
}

std::string httpGet(int port, const std::string& path) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
    const std::string req = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    send(fd, req.data(), req.size(), MSG_NOSIGNAL);
    char buf[4096];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, size_t(n));
  }
  close(fd);
  return reply;
}

// The value of one sample line of the page ("NAME{LABELS} VALUE"); -1 when absent.
long sampleOf(const std::string& page, const std::string& series) {
  std::istringstream lines(page);
  for (std::string l; std::getline(lines, l);)
    if (l.rfind(series + " ", 0) == 0) return std::stol(l.substr(series.size() + 1));
  return -1;
}

TEST(OperatorTest, ABackupTakenDuringAChatRestoresToAWorkingServer) {
  TempDir scratch("tavrin-backup-test");
  const std::string data = scratch.file("data"), backup = scratch.file("backup.db"),
                    restored = scratch.file("restored");
  {
    ServerChild server;
    server.start({TAVRIN_SERVER_BIN, "--data", data, "--demo", "--nav-port", "0", "--sipc-port",
                  "0", "--no-signin"},
                 {});
    ASSERT_GT(server.sipc(), 0);
    SipcClient alice(server.sipc()), bob(server.sipc());
    ASSERT_EQ(alice.login("100000001", "alice123"), 200);
    ASSERT_EQ(bob.login("100000002", "bob123"), 200);
    ASSERT_EQ(sendLine(alice, 20, "100000003", "kept for Carol"), 200);  // she is offline
    // The chat goes on while the backup is taken.
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread chat([&] {
      for (int32_t id = 100; !stop && id < 2000; ++id)
        if (sendLine(alice, id, "100000002", "line " + std::to_string(id)) == 200) ++sent;
    });
    std::thread reader([&] { takeLines(bob, 1900); });
    while (sent < 20) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const ToolRun taken = runServerTool({"backup", backup, "--data", data});
    stop = true;
    chat.join();
    reader.join();
    ASSERT_EQ(taken.status, 0) << taken.output;
    EXPECT_NE(taken.output.find("8 accounts"), std::string::npos) << taken.output;
    struct stat st {};
    ASSERT_EQ(::stat(backup.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A backup is never written over, and no restore runs under a live server.
    EXPECT_EQ(runServerTool({"backup", backup, "--data", data}).status, 1);
    const ToolRun busy = runServerTool({"restore", backup, "--data", data});
    EXPECT_EQ(busy.status, 1);
    EXPECT_NE(busy.output.find("stop it before a restore"), std::string::npos) << busy.output;
  }
  const ToolRun back = runServerTool({"restore", backup, "--data", restored});
  ASSERT_EQ(back.status, 0) << back.output;
  ServerChild server;
  server.start({TAVRIN_SERVER_BIN, "--data", restored, "--nav-port", "0", "--sipc-port", "0",
                "--no-signin"},
               {});
  ASSERT_GT(server.sipc(), 0);
  SipcClient carol(server.sipc());
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  EXPECT_EQ(offlineBodies(carol), std::vector<std::string>{"kept for Carol"});
  SipcClient alice(server.sipc()), bob(server.sipc());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  ASSERT_EQ(sendLine(alice, 30, "100000002", "after the restore"), 200);
  EXPECT_EQ(takeLines(bob, 1), 1);

  // A restore over a folder that holds a database keeps the one it replaced.
  server.stop();
  const ToolRun again = runServerTool({"restore", backup, "--data", restored});
  ASSERT_EQ(again.status, 0) << again.output;
  EXPECT_NE(again.output.find("the database it replaced is kept as"), std::string::npos);
}

TEST(OperatorTest, TheMetricsPageCountsWhatHappenedAndPromtoolAcceptsIt) {
  TempDir scratch("tavrin-metrics-test");
  ServerChild child;
  child.start({TAVRIN_SERVER_BIN, "--data", scratch.file("d"), "--demo", "--nav-port", "0",
               "--sipc-port", "0", "--no-signin", "--metrics-port", "0"},
              {});
  ASSERT_GT(child.metrics(), 0);
  SipcClient alice(child.sipc()), bob(child.sipc()), wrong(child.sipc());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  EXPECT_EQ(wrong.login("100000004", "not-dave"), 401);
  ASSERT_EQ(sendLine(alice, 20, "100000002", "hello Bob"), 200);
  ASSERT_EQ(takeLines(bob, 1), 1);
  ASSERT_EQ(sendLine(alice, 21, "100000003", "for Carol"), 200);
  EXPECT_EQ(alice.command("S", "NoSuchCommand", ""), 501);
  sipc_message sms = alice.request("M", 22, 1, "an SMS");
  sms.add_header("T", uriOf("100000002"));
  sms.add_header("N", "SendSMS");
  alice.send(sms);
  sipc_message answer;
  ASSERT_TRUE(alice.answer(22, 1, answer));
  // An SMS to an account is a line in its box until Bob's engine answers it.
  ASSERT_EQ(takeLines(bob, 1), 1);

  std::string page;
  // Bob's answers reach the server after his sends: read until they are counted.
  for (int i = 0; i < 100 && (sampleOf(page, "tavrin_lines_delivered_total") < 2 ||
                              sampleOf(page, "tavrin_offline_lines_waiting") != 1);
       ++i) {
    if (i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    page = httpGet(child.metrics(), "/metrics");
  }
  ASSERT_NE(page.find("200 OK"), std::string::npos) << page;
  page = page.substr(page.find("\r\n\r\n") + 4);
  const std::pair<const char*, long> expected[] = {
      {"tavrin_connections{listener=\"sipc\"}", 3},
      {"tavrin_connections_accepted_total{listener=\"sipc\"}", 3},
      {"tavrin_signed_in_users", 2},
      {"tavrin_lines_relayed_total", 1},
      {"tavrin_lines_delivered_total", 2},
      {"tavrin_lines_stored_offline_total", 1},
      {"tavrin_offline_lines_waiting", 1},
      {"tavrin_offline_bytes_waiting", 9},
      {"tavrin_login_failures_total", 1},
      {"tavrin_login_locks_total", 0},
      {"tavrin_sms_accepted_total", 1},
      {"tavrin_request_errors_total{protocol=\"sipc\",status=\"401\"}", 1},
      {"tavrin_request_errors_total{protocol=\"sipc\",status=\"501\"}", 1},
  };
  for (const auto& [series, value] : expected) EXPECT_EQ(sampleOf(page, series), value) << series;
  EXPECT_NE(httpGet(child.metrics(), "/other").find("404"), std::string::npos);

  if (std::system("command -v promtool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "promtool is missing (Debian package prometheus): the page's format is not checked";
  TempDir io("tavrin-promtool");
  std::ofstream(io.file("page")) << page;
  const std::string cmd = "promtool check metrics <" + io.file("page") + " >" + io.file("out") +
                          " 2>&1";
  const int raw = std::system(cmd.c_str());
  std::ifstream o(io.file("out"));
  std::stringstream said;
  said << o.rdbuf();
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << said.str() << "\n" << page;
}

TEST(OperatorTest, CheckConfigNamesWhatIsWrongAndStartsNothing) {
  TempDir scratch("tavrin-check-test");
  const std::string foreign = scratch.file("etc");
  std::filesystem::create_directory(foreign);
  ::chmod(foreign.c_str(), 0755);
  std::ofstream(foreign + "/hosts") << "127.0.0.1 localhost\n";
  const struct {
    const char* name;
    std::string config;
    int status;
    const char* said;
  } cases[] = {
      {"good", "data = " + scratch.file("new") + "\nsipc-port = 9000\n", 0, "configuration OK"},
      {"foreign folder", "data = " + foreign + "\n", 2, "holds files tavrin-server did not make"},
      {"bad address", "data = " + scratch.file("new") + "\nlisten = nowhere\n", 2,
       "listen: not an IPv4 address"},
      {"same port twice", "data = " + scratch.file("new") + "\nsipc-port = 9000\nnav-port = 9000\n",
       2, "nav-port and sipc-port are the same port 9000"},
      {"a test switch", "test-withhold-acks = yes\n", 2, "is for tests only"},
  };
  // The file the package ships passes as it is.
  const ToolRun shipped = runServerTool({"--check-config", "--config", TAVRIN_SHIPPED_CONF});
  EXPECT_EQ(shipped.status, 0) << shipped.output;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = scratch.file("t.conf");
    std::ofstream(file) << c.config;
    const ToolRun r = runServerTool({"--check-config", "--config", file});
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find(c.said), std::string::npos) << r.output;
  }
  EXPECT_FALSE(std::filesystem::exists(scratch.file("new")));  // nothing was made

  // Started for real on that folder, the server refuses and leaves it as it was.
  const ToolRun started = runServerTool(
      {"--data", foreign, "--nav-port", "0", "--sipc-port", "0", "--no-signin"});
  EXPECT_EQ(started.status, 1);
  EXPECT_NE(started.output.find("holds files tavrin-server did not make"), std::string::npos)
      << started.output;
  struct stat st {};
  ASSERT_EQ(::stat(foreign.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(foreign),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(OperatorTest, NoSignInPasswordReachesTheLogAtAnyVerbosity) {
  TempDir scratch("tavrin-log-test");
  ServerChild server;
  ServerChild::Options o;
  o.stderr_path = scratch.file("log");
  server.start({TAVRIN_SERVER_BIN, "--data", scratch.file("d"), "--demo", "--nav-port", "0",
                "--sipc-port", "0", "--signin-port", "0", "-vvvv"},
               o);
  ASSERT_GT(server.signin(), 0);
  // The sign-in lookup carries the password in its query.
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(server.signin()));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  SSL* ssl = SSL_new(ctx);
  SSL_set_fd(ssl, fd);
  ASSERT_EQ(SSL_connect(ssl), 1);
  const std::string req =
      "GET /ssiportal/SSIAppSignIn.aspx?mobileno=13900000001&pwd=alice123 HTTP/1.1\r\n"
      "Host: 127.0.0.1\r\n\r\n";
  SSL_write(ssl, req.data(), int(req.size()));
  char buf[4096];
  std::string reply;
  for (int n; (n = SSL_read(ssl, buf, sizeof buf)) > 0;) reply.append(buf, size_t(n));
  SSL_free(ssl);
  close(fd);
  SSL_CTX_free(ctx);
  EXPECT_NE(reply.find("100000001"), std::string::npos) << reply;
  // The SIP-C login too, whose messages are logged in full at this level.
  SipcClient alice(server.sipc());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  server.stop();
  std::ifstream in(scratch.file("log"));
  std::stringstream log;
  log << in.rdbuf();
  EXPECT_NE(log.str().find("SSIAppSignIn.aspx?mobileno=13900000001&pwd=***"), std::string::npos)
      << log.str();
  EXPECT_EQ(log.str().find("alice123"), std::string::npos) << log.str();
}

}  // namespace
