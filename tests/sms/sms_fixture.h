// SmsScreenTest: a screen test signed in as Alice against tavrin-server
// --demo, whose scheduled-SMS clock reads a file of the test's
// (set_server_clock), with the server's SQLite file at hand for the outbox
// and the scheduled SMS, and the SMS screens' local clock pinned.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "ScreenTest.h"

namespace tavrin::test {

class SmsScreenTest : public ScreenTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // More flags for tavrin-server, asked once before it starts.
  virtual std::vector<std::string> extra_server_flags() { return {}; }

  // The first column of the first row of a query on the server's data
  // ("" for no row); exec() runs a statement. Both wait for the server's locks.
  std::string query(const std::string& sql);
  long count(const std::string& sql) { return std::stol(query(sql)); }
  void exec(const std::string& sql);
  // Polls until the count reaches want (or limit_ms passed); the last count.
  long count_within(const std::string& sql, long want, int limit_ms = 6000);

  // The scheduled-SMS clock of the server ("YYYY-MM-DD HH:MM:SS").
  void set_server_clock(const std::string& time);
  // The SMS screens' local time.
  void set_local_time(int year, int month, int day, int hour, int minute);

  // Runs fn inside the next modal loop deeper than the current one, once
  // it is up: a box a screen opens from an engine answer. With ready, once
  // ready() holds instead (for a box that opens after the current loop ends).
  void when_box_opens(std::function<void()> fn, std::function<bool()> ready = {});
  // Taps the only button of a one-button box, or 是 / 否 of a yes/no box.
  void box_ok() { tap(240, 358); }
  void box_yes() { tap(140, 358); }
  void box_no() { tap(340, 358); }

  std::string golden(const std::string& name) {
    return ScreenTest::golden(TAVRIN_SMS_GOLDEN_DIR, TAVRIN_SMS_OUT_DIR, name);
  }

 private:
  std::string clock_file_;
  std::tm local_{};
};

}  // namespace tavrin::test
