#include "sms_fixture.h"

#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "screens/sms/LocalClock.h"

namespace tavrin::test {

void SmsScreenTest::SetUp() {
  ScreenTest::SetUp();
  clock_file_ = data.file("server-clock");
  std::vector<std::string> flags{"--test-clock", clock_file_};
  for (std::string& f : extra_server_flags()) flags.push_back(std::move(f));
  start_server(flags);
  set_local_time(2030, 6, 15, 10, 29);
  screens::set_local_clock_for_tests([this] { return local_; });
  ASSERT_TRUE(sign_in("100000001", "alice123"));
}

void SmsScreenTest::TearDown() {
  screens::set_local_clock_for_tests(nullptr);
  ScreenTest::TearDown();
}

std::string SmsScreenTest::query(const std::string& sql) {
  sqlite3* db = nullptr;
  std::string out = "-1";
  const std::string path = server_data() + "/tavrin-server.db";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
      const int rc = sqlite3_step(s);
      if (rc == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(s, 0);
        out = text ? reinterpret_cast<const char*>(text) : "";
      } else if (rc == SQLITE_DONE) {
        out.clear();
      }
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return out;
}

void SmsScreenTest::exec(const std::string& sql) {
  sqlite3* db = nullptr;
  const std::string path = server_data() + "/tavrin-server.db";
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_busy_timeout(db, 2000);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
      << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

long SmsScreenTest::count_within(const std::string& sql, long want, int limit_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  long n = count(sql);
  while (n != want && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    n = count(sql);
  }
  return n;
}

void SmsScreenTest::set_server_clock(const std::string& time) {
  std::ofstream(clock_file_, std::ios::trunc) << time << "\n";
}

void SmsScreenTest::set_local_time(int year, int month, int day, int hour, int minute) {
  local_ = {};
  local_.tm_year = year - 1900;
  local_.tm_mon = month - 1;
  local_.tm_mday = day;
  local_.tm_hour = hour;
  local_.tm_min = minute;
  local_.tm_isdst = -1;
}

void SmsScreenTest::when_box_opens(std::function<void()> fn, std::function<bool()> ready) {
  const int depth = ws->modal_depth();
  auto poll = std::make_shared<std::function<void()>>();
  std::weak_ptr<std::function<void()>> self = poll;
  *poll = [this, depth, fn, ready, self] {
    if (ready ? ready() : ws->modal_depth() > depth) {
      settle();
      fn();
      return;
    }
    // Not yet: look again shortly, in turn with everything else queued.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (auto again = self.lock()) ws->post_call(*again);
  };
  static std::vector<std::shared_ptr<std::function<void()>>> alive;  // UI thread
  alive.push_back(poll);
  ws->post_call(*poll);
}

}  // namespace tavrin::test
