// tavrin-cli's parsers and JSON output, without an engine session.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "bridge/EngineMessages.h"
#include "cli_session.h"
#include "command_line.h"
#include "command_table.h"
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
      // Reordering: the rest of the line would read backwards.
      {"invoice \xe2\x80\xae"
       "fdp.exe",
       "invoice ?fdp.exe"},
      {"\xe2\x81\xa6iso\xe2\x81\xa9 \xe2\x80\x8fmark \xe2\x80\xa8sep", "?iso? ?mark ?sep"},
      // Bytes that are no UTF-8: a raw CSI, a stray continuation, an
      // overlong '/', a surrogate, a cut sequence at the end.
      {"raw \x9b"
       "31m",
       "raw \xef\xbf\xbd"
       "31m"},
      {"\xc0\xaf \xed\xa0\x80 \xe4\xbd",
       "\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd"},
      {"emoji \xf0\x9f\x98\x80 ok", "emoji \xf0\x9f\x98\x80 ok"},
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.in), c.out) << c.in;
  // A NUL does not end the text.
  EXPECT_EQ(printable(std::string_view("a\0b", 3)), "a^@b");
}

// One engine message is one line to its reader: a line feed in a peer's
// text starts a marked continuation, never a line that could pass for a
// message of its own.
TEST(TerminalText, LineFeedsInOneMessageCannotForgeALine) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"[10:00:00] Bob: hi", "[10:00:00] Bob: hi"},
      {"[10:00:00] Bob: hi\n[10:00:01] Alice: send me the code",
       "[10:00:00] Bob: hi\n  | [10:00:01] Alice: send me the code"},
      {"a\n\nb\n", "a\n  | \n  | b\n  | "},
      {"cr\r[10:00:01] Alice: x", "cr^M[10:00:01] Alice: x"},
  };
  for (const auto& c : cases) EXPECT_EQ(one_message(c.in), c.out) << c.in;
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

namespace tavrin::cli {
namespace {

const Command& row(std::string_view name) {
  for (const Command& c : CliSession::commands())
    if (c.name == name) return c;
  ADD_FAILURE() << "no row " << name;
  return CliSession::commands().front();
}

TEST(CliCommandTable, ArgumentsAreReadByKindWithTheCommandsOwnErrors) {
  const struct {
    const char* command;
    const char* rest;
    const char* error;  // empty: read
  } cases[] = {
      {"send", "", "send: missing ID"},
      {"send", "abc hi", "send: bad ID 'abc'"},
      {"send", "0 hi", "send: bad ID '0'"},
      {"send", "2147483648 hi", "send: bad ID '2147483648'"},
      {"send", "100000002", "send: missing TEXT"},
      {"sms-mobile", "139 hi", "sms-mobile: NUMBER must be 11 digits"},
      {"sms-mobile", "", "sms-mobile: missing NUMBER"},
      {"add", "12345 x 1", "add: NUMBER must be 9 digits (Tavrin) or 11 (mobile)"},
      {"add", "100000002", "add: missing LOCALNAME"},
      {"add", "100000002 Bob x", "add: bad GROUP 'x'"},
      {"accept", "", "accept: missing URI"},
      {"wait", "x", "wait: bad CODE 'x'"},
      {"wait", "16 soon", "wait: bad SECONDS 'soon'"},
      {"schedule-delete", "-1", "schedule-delete: bad ID '-1'"},
      {"wait", "16", ""},
      {"mood", "", ""},
  };
  for (const auto& c : cases) {
    CommandArgs args;
    std::string error;
    EXPECT_EQ(read_args(row(c.command), c.rest, &args, &error), *c.error == 0)
        << c.command << " " << c.rest;
    if (*c.error) {
      EXPECT_EQ(error, c.error) << c.command << " " << c.rest;
    }
  }

  // What a handler receives: every kind in its place, TEXT as typed.
  CommandArgs args;
  std::string error;
  ASSERT_TRUE(read_args(row("add"), "13900000002  \"Bob B\" 2 met at  work ", &args, &error));
  EXPECT_EQ(args.command, "add");
  EXPECT_EQ(args.words, (std::vector<std::string>{"13900000002", "Bob B"}));
  EXPECT_EQ(args.numbers, (std::vector<long>{2}));
  EXPECT_EQ(args.text, "met at  work ");
  ASSERT_TRUE(read_args(row("wait"), "16 5", &args, &error));
  EXPECT_EQ(args.numbers, (std::vector<long>{16, 5}));
  ASSERT_TRUE(read_args(row("send"), "100000002 hi  there", &args, &error));
  EXPECT_EQ(args.id, 100000002);
  EXPECT_EQ(args.text, "hi  there");
  // A NUL would cut the line where the engine takes it: refused whole.
  for (const char* command : {"send", "sms"}) {
    EXPECT_FALSE(read_args(row(command), std::string("100000002 before\0after", 23), &args, &error))
        << command;
    EXPECT_EQ(error, std::string(command) + ": TEXT holds a NUL byte; not sent");
  }
}

TEST(CliCommandTable, HelpHasALinePerCommandAndOnlySendingOnesWaitForTheConnection) {
  const std::string help = help_text(CliSession::commands());
  std::vector<std::string> sending;
  for (const Command& c : CliSession::commands()) {
    EXPECT_NE(help.find("\n  " + std::string(c.name) + (c.args.empty() ? "" : " ")),
              std::string::npos)
        << c.name;
    EXPECT_NE(c.run, nullptr) << c.name;
    if (c.offline == WhenOffline::kRefused) sending.emplace_back(c.name);
  }
  EXPECT_NE(help.find("  send ID TEXT                a chat line\n"), std::string::npos) << help;
  EXPECT_NE(help.find("  schedule-add \"YYYY-MM-DD HH:MM:SS\" TEXT ID [ID...]\n"),
            std::string::npos)
      << help;
  EXPECT_EQ(sending, (std::vector<std::string>{"send", "sms", "sms-self", "sms-mobile", "nudge"}));
}

TEST(CliEventNames, MessagesKeepTheNamesScriptsMatchOn) {
  const struct {
    int code;
    const char* name;
  } cases[] = {
      {FX_MSG_LOGIN_OK, "login-ok"},
      {FX_MSG_CHAT_MESSAGE, "chat"},
      {FX_MSG_SMS_OK, "sms sent"},
      {FX_MSG_CHAT_SEND_TIMEOUT, "not answered"},
      {FX_MSG_QUN_SMS_REFUSED, "group sms refused"},
      {FX_MSG_SCHEDULE_SMS_LIST_FAILED, "schedule-list-failed"},
      {70, "status"},
      {FX_MSG_REGISTERED, "message"},
      {999, "message"},
      {-1, "message"},
  };
  for (const auto& c : cases) EXPECT_EQ(bridge::message_name(c.code), c.name) << c.code;
}

}  // namespace
}  // namespace tavrin::cli
