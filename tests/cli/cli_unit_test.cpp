// tavrin-cli's parsers and JSON output, without an engine session.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "command_line.h"
#include "json_writer.h"
#include "options.h"
#include "relogin.h"
#include "terminal_text.h"

namespace tavrin::cli {
namespace {

TEST(CliCommandLine, SplitsCommandAndKeepsTheRestOfTheLine) {
  const CommandLine c = split_command("  send 100000002   hello   world \r\n");
  EXPECT_EQ(c.name, "send");
  std::string rest = c.rest, word;
  ASSERT_TRUE(take_word(&rest, &word));
  EXPECT_EQ(word, "100000002");
  EXPECT_EQ(rest, "hello   world ");

  std::string quoted = "\"2027-01-02 08:00:00\" text 1 2";
  ASSERT_TRUE(take_word(&quoted, &word));
  EXPECT_EQ(word, "2027-01-02 08:00:00");
  EXPECT_EQ(quoted, "text 1 2");
  std::string open = "\"never closed";
  EXPECT_FALSE(take_word(&open, &word));
  std::string empty = "   ";
  EXPECT_FALSE(take_word(&empty, &word));
}

TEST(CliCommandLine, NumbersAndLoginIds) {
  long v = 0;
  const struct {
    const char* text;
    bool ok;
  } numbers[] = {{"0", true},   {"100000002", true},     {"", false}, {"-1", false}, {"1x", false},
                 {" 1", false}, {"9999999999999", false}};
  for (const auto& n : numbers) EXPECT_EQ(parse_number(n.text, &v), n.ok) << n.text;
  EXPECT_TRUE(is_login_id("100000001"));
  EXPECT_TRUE(is_login_id("13900000001"));
  EXPECT_FALSE(is_login_id("1000000010"));
  EXPECT_FALSE(is_login_id("10000000a"));
}

TEST(CliJson, EscapesTextAndKeepsEveryLineValid) {
  JsonWriter j;
  j.field("code", 16L).field("text", "a\"b\\c\nd\x01 你好").field("bad", "x\xff\xc3y");
  EXPECT_EQ(j.str(),
            "{\"code\":16,\"text\":\"a\\\"b\\\\c\\nd\\u0001 你好\",\"bad\":\"x\\ufffd\\ufffdy\"}");
}

TEST(CliOptions, ParsesAndRejects) {
  Options o;
  std::string error;
  ASSERT_EQ(
      parse_options({"--server", "127.0.0.1:8080", "--user", "100000001", "--json", "--status=67",
                     "--nav", "nav.example:81", "--proxy", "socks5://u:p@127.0.0.1:1080"},
                    &o, &error),
      ParseResult::ok)
      << error;
  EXPECT_EQ(*o.server, "127.0.0.1:8080");
  EXPECT_EQ(o.status, 67);
  EXPECT_EQ(*o.nav_host, "nav.example");
  EXPECT_EQ(o.nav_port, 81);
  EXPECT_TRUE(o.json);

  const std::vector<std::vector<std::string>> bad = {
      {},                                           // no user
      {"--user", "12"},                             // not 9 or 11 digits
      {"--user", "100000001", "--server", "host"},  // no port
      {"--user", "100000001", "--status", "80"},
      {"--user", "100000001", "--proxy", "ftp://h:1"},
      {"--user", "100000001", "--bogus"},
      {"--user"},
  };
  for (const auto& args : bad) EXPECT_EQ(parse_options(args, &o, &error), ParseResult::error);
  EXPECT_EQ(parse_options({"--help"}, &o, &error), ParseResult::help);

  ProxyUrl p;
  ASSERT_TRUE(parse_proxy_url("http://user:pa:ss@10.0.0.1:3128/", &p, &error));
  EXPECT_EQ(p.type, 1);
  EXPECT_EQ(p.user, "user");
  EXPECT_EQ(p.password, "pa:ss");
  EXPECT_EQ(p.host, "10.0.0.1");
  EXPECT_EQ(p.port, "3128");
}

}  // namespace
}  // namespace tavrin::cli

namespace tavrin::cli {
namespace {

TEST(TerminalText, ControlCharactersAreShownNotObeyed) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"plain Bob 你好", "plain Bob 你好"},
      {"\x1b[2Jgone", "^[[2Jgone"},
      {"\x1b]0;title\x07", "^[]0;title^G"},
      {"back\rspace\b del\x7f", "back^Mspace^H del^?"},
      {"csi \xc2\x9b"
       "31m",
       "csi ?31m"},
      {"tab\tand\nnewline", "tab\tand\nnewline"},
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.in), c.out) << c.in;
}

TEST(ReloginCycle, BacksOffFromOneSecondToThirtyFiveAndStartsOverAfterALogin) {
  using namespace std::chrono;
  ReloginCycle cycle;
  auto now = ReloginCycle::Clock::time_point{} + hours(1);
  cycle.start(now);
  EXPECT_FALSE(cycle.due(now));
  std::vector<long> waits;
  for (int attempt = 1; attempt <= 8; ++attempt) {
    const auto at = *cycle.next_event();
    waits.push_back(duration_cast<seconds>(at - now).count());
    now = at;
    ASSERT_TRUE(cycle.due(now));
    EXPECT_EQ(cycle.begin_attempt(now), attempt);
    EXPECT_FALSE(cycle.due(now));  // one attempt at a time
    cycle.attempt_failed(now + milliseconds(10));
    now += milliseconds(10);
  }
  EXPECT_EQ(waits, (std::vector<long>{1, 2, 4, 8, 16, 32, 35, 35}));
  // An attempt nobody answers is given up after the watchdog.
  now = *cycle.next_event();
  cycle.begin_attempt(now);
  EXPECT_FALSE(cycle.overdue(now + seconds(34)));
  EXPECT_TRUE(cycle.overdue(now + ReloginCycle::kWatchdog));
  cycle.done();
  EXPECT_FALSE(cycle.active());
  EXPECT_FALSE(cycle.next_event());
  cycle.start(now);
  EXPECT_EQ(duration_cast<seconds>(*cycle.next_event() - now).count(), 1);
}

TEST(Options, NoReloginAndWhatHelpSaysOfTheLookups) {
  Options o;
  std::string error;
  ASSERT_EQ(parse_options({"--user", "100000001", "--no-relogin"}, &o, &error), ParseResult::ok);
  EXPECT_TRUE(o.no_relogin);
  const std::string help = usage_text();
  EXPECT_NE(help.find("over SIP-C"), std::string::npos);
  EXPECT_NE(help.find("5 connection lost"), std::string::npos);
}

}  // namespace
}  // namespace tavrin::cli
