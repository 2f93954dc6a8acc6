// tavrin-cli's parsers and JSON output, without an engine session.
#include <gtest/gtest.h>

#include "command_line.h"
#include "json_writer.h"
#include "options.h"

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
