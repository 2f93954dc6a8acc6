// SMS through a real SMS gateway: tavrin-server with Debian's bearerbox and
// smsbox, fakesmsc as the carrier, and tavrin-cli as the people. What the
// phone gets is read from the carrier, what the person sees from the cli,
// what is kept from the server's SQLite file. Skipped when the gateway's
// packages are not installed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "kannel_gateway.h"

namespace tavrin::test {
namespace {

using namespace std::chrono_literals;
constexpr auto kLimit = 60s;
constexpr const char* kMum = "13800138000";     // Alice's mobile buddy "Mum" in the demo world
constexpr const char* kMumId = "1800138000";    // her contact id in the engine
constexpr const char* kAliceMobile = "13900000001";

bool has(const std::string& line, const std::string& part) {
  return line.find(part) != std::string::npos;
}
bool is_message(const std::string& line, int code) {
  return line.rfind("{\"code\":" + std::to_string(code) + ",", 0) == 0;
}
// A chat line from the mobile contact Mum holding text.
bool line_from_mum(const std::string& l, const std::string& text) {
  return is_message(l, 16) && has(l, std::string("\"from\":") + kMumId) && has(l, text);
}

// Status of a GET to the server's HTTP port, or -1.
int http_get(int port, const std::string& target) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  const std::string req = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  (void)!write(fd, req.data(), req.size());
  char buf[512];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n < 12) return -1;
  return std::atoi(buf + 9);
}

class GatewayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = KannelGateway::missing(); !why.empty()) GTEST_SKIP() << why;
    std::string tmpl =
        (std::filesystem::temp_directory_path() / "tavrin-gateway-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    std::filesystem::create_directory(dir_ + "/kannel");
    std::ofstream(dir_ + "/gateway-password") << KannelGateway::kPassword << "\n";
    kannel_ = std::make_unique<KannelGateway>(dir_ + "/kannel");
  }
  void TearDown() override {
    if (kannel_ && HasFailure())
      std::cerr << "carrier transcript:\n" << kannel_->carrier_transcript();
    kannel_.reset();
    server_.reset();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // Starts (or starts again, on the same data) the server with the gateway.
  void start_server(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"--data",
                                  dir_ + "/data",
                                  "--demo",
                                  "--nav-port",
                                  "0",
                                  "--sipc-port",
                                  "0",
                                  "--no-signin",
                                  "--sms-gateway",
                                  kannel_->sendsms_url(),
                                  "--sms-gateway-user",
                                  KannelGateway::kUser,
                                  "--sms-gateway-password-file",
                                  dir_ + "/gateway-password"};
    args.insert(args.end(), extra.begin(), extra.end());
    server_.reset();
    server_ = std::make_unique<ChildProcess>(TAVRIN_SERVER_BIN, args);
    const auto line = server_->read_until(
        [](const std::string& l) { return has(l, "tavrin-server listening"); }, kLimit);
    ASSERT_TRUE(line) << "no port line";
    std::smatch m;
    ASSERT_TRUE(std::regex_search(*line, m, std::regex("nav=([0-9]+) sipc=([0-9]+)")));
    nav_ = std::stoi(m[1].str());
    sipc_ = "127.0.0.1:" + m[2].str();
  }

  std::unique_ptr<ChildProcess> alice() {
    auto p = std::make_unique<ChildProcess>(
        TAVRIN_CLI_BIN, std::vector<std::string>{"--server", sipc_, "--user", "100000001",
                                                 "--password", "alice123", "--json"});
    EXPECT_TRUE(p->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
        << p->transcript();
    return p;
  }

  // The first column of the first row of a query on the server's data ("" for none).
  std::string query(const std::string& sql) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2((dir_ + "/data/tavrin-server.db").c_str(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(db, 5000);
      sqlite3_stmt* s = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
          sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
  }
  // Waits until the query gives the value.
  bool query_becomes(const std::string& sql, const std::string& value) {
    const auto end = std::chrono::steady_clock::now() + kLimit;
    while (std::chrono::steady_clock::now() < end) {
      if (query(sql) == value) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  std::string dir_;
  std::unique_ptr<KannelGateway> kannel_;
  std::unique_ptr<ChildProcess> server_;
  int nav_ = 0;
  std::string sipc_;
};

std::string repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

TEST_F(GatewayTest, ChineseSmsReachesThePhoneWholeAndItsDeliveryReportReachesTheSender) {
  start_server();
  ASSERT_TRUE(kannel_->start(nav_));
  auto a = alice();
  // 80 characters: two joined UCS-2 parts, as the client's counter says.
  const std::string text = repeat("今晚七点老地方见，", 8) + "不见不散！<&>";
  ASSERT_EQ(text.size(), 3u * 77 + 3);
  a->write_line(std::string("sms-mobile ") + kMum + " " + text);
  ASSERT_TRUE(a->read_until([](const std::string& l) { return is_message(l, 32); }, kLimit))
      << a->transcript();

  const auto sms = kannel_->next_sms(kLimit);
  ASSERT_TRUE(sms) << kannel_->carrier_transcript();
  EXPECT_EQ(sms->from, kAliceMobile);
  EXPECT_EQ(sms->to, kMum);
  EXPECT_EQ(sms->text, text);
  EXPECT_EQ(sms->parts, 2);
  EXPECT_EQ(query("SELECT parts FROM outbox WHERE phone='13800138000'"), "2");

  // The carrier's delivery report comes back to Alice as a report line from Mum.
  ASSERT_TRUE(a->read_until(
      [&](const std::string& l) { return line_from_mum(l, "短信已送达：" + text); }, kLimit))
      << a->transcript();
  ASSERT_TRUE(query_becomes("SELECT state FROM outbox WHERE phone='13800138000'", "2"));

  // The same report again changes nothing: the next line Alice gets is Mum's reply.
  const std::string row = query("SELECT id FROM outbox WHERE phone='13800138000'");
  EXPECT_EQ(http_get(nav_, "/sms/dlr?id=" + row + "&type=1"), 200);
  EXPECT_EQ(http_get(nav_, "/sms/dlr?id=" + row + "&type=2"), 200);
  ASSERT_TRUE(kannel_->from_phone(kMum, kAliceMobile, "好的"));
  const auto next = a->read_until([](const std::string& l) { return is_message(l, 16); }, kLimit);
  ASSERT_TRUE(next) << a->transcript();
  EXPECT_TRUE(line_from_mum(*next, "好的")) << *next;
  EXPECT_EQ(query("SELECT state FROM outbox WHERE phone='13800138000'"), "2");
}

TEST_F(GatewayTest, RepliesFromAPhoneReachTheUserOnlineAndAtTheNextLogin) {
  start_server();
  ASSERT_TRUE(kannel_->start(nav_));
  auto a = alice();
  // To Alice's own mobile number: it reaches her as a line from the mobile contact.
  ASSERT_TRUE(kannel_->from_phone(kMum, kAliceMobile, "妈妈：收到，晚上见 <3"));
  ASSERT_TRUE(a->read_until(
      [](const std::string& l) { return line_from_mum(l, "妈妈：收到，晚上见 <3"); }, kLimit))
      << a->transcript();
  a->write_line("quit");
  ASSERT_EQ(a->wait_exit(kLimit), 0);
  a.reset();

  // Signed out, to the service's own number: Mum is Alice's mobile buddy, so it waits for her.
  ASSERT_TRUE(kannel_->from_phone(kMum, "10658888", "路上堵车，晚点到"));
  ASSERT_TRUE(query_becomes(
      "SELECT count(*) FROM offline_messages WHERE recipient=100000001 AND "
      "sender_uri='tel:13800138000'",
      "1"));
  a = alice();
  ASSERT_TRUE(a->read_until(
      [](const std::string& l) { return line_from_mum(l, "路上堵车，晚点到"); }, kLimit))
      << a->transcript();
  EXPECT_TRUE(query_becomes("SELECT count(*) FROM offline_messages", "0"));
}

TEST_F(GatewayTest, AScheduledSmsWaitsOutAGatewayOutageAndAServerRestartAndGoesOnce) {
  const std::string clock = dir_ + "/clock";  // no file yet: nothing falls due
  start_server({"--test-clock", clock});
  ASSERT_TRUE(kannel_->start(nav_));
  auto a = alice();
  a->write_line(std::string("schedule-add \"2030-06-15 10:30:00\" 生日快乐 ") + kMumId);
  ASSERT_TRUE(a->read_until([](const std::string& l) { return is_message(l, 120); }, kLimit))
      << a->transcript();

  kannel_->stop();
  std::ofstream(clock, std::ios::trunc) << "2030-06-15 10:30:00\n";
  // Due, and tried against a gateway that is not there: it waits in the outbox.
  const std::string tries = "SELECT attempts > 0 AND state = 0 FROM outbox WHERE schedule_id=1";
  ASSERT_TRUE(query_becomes(tries, "1"));
  EXPECT_EQ(query("SELECT count(*) FROM schedule_sms"), "0");
  a.reset();
  start_server({"--test-clock", clock});  // a restart in between

  ASSERT_TRUE(kannel_->start(nav_));
  const auto sms = kannel_->next_sms(kLimit);
  ASSERT_TRUE(sms) << kannel_->carrier_transcript();
  EXPECT_EQ(sms->text, "生日快乐");
  EXPECT_EQ(sms->to, kMum);
  ASSERT_TRUE(query_becomes("SELECT state FROM outbox WHERE schedule_id=1", "2"));
  EXPECT_EQ(query("SELECT count(*) FROM outbox WHERE schedule_id=1"), "1");

  // Never twice: the next thing the phone gets is the next SMS.
  a = alice();
  a->write_line(std::string("sms-mobile ") + kMum + " after");
  const auto after = kannel_->next_sms(kLimit);
  ASSERT_TRUE(after) << kannel_->carrier_transcript();
  EXPECT_EQ(after->text, "after");
}

}  // namespace
}  // namespace tavrin::test
