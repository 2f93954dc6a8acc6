// tavrin-cli end to end: the real tavrin-server with its demo world on
// loopback (ports 0, a temporary data folder, stopped by pid) and
// tavrin-cli processes driven through their standard input. Synchronisation
// is the CLI's own "wait CODE SECONDS"; every read has a bounded time-out.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>

#include "cli_fixture.h"
#include "temp_dir.h"

namespace tavrin::test {
namespace {

TEST_F(CliTest, TwoUsersHoldAWholeConversation) {
  auto alice = signed_in("100000001", "alice123");
  auto bob = signed_in("100000002", "bob123");

  const std::string contacts = command(*alice, "contacts", "contacts");
  EXPECT_TRUE(has(contacts, "\"id\":100000002") && has(contacts, "Bob")) << contacts;
  EXPECT_TRUE(has(contacts, "\"id\":100000009")) << contacts;
  EXPECT_TRUE(has(command(*alice, "groups", "groups"), "\"id\":2")) << alice->transcript();

  // Bob's pending contact request (from Mallory) arrives at login; he accepts it.
  const std::string request = wait_for(*bob, 93);
  EXPECT_TRUE(has(request, "\"uri\":\"sip:100000007@")) << request;
  EXPECT_TRUE(has(command(*bob, "accept sip:100000007@tavrin.local;p=1 1 Mallory", "accept"),
                  "\"ok\":true"));
  EXPECT_TRUE(has(command(*bob, "contacts", "contacts"), "\"id\":100000007")) << bob->transcript();

  // A chat both ways, UTF-8 and JSON-special characters intact.
  EXPECT_TRUE(
      has(command(*alice, "send 100000002 Hello Bob, \"quoted\" 你好", "send"), "\"ok\":true"));
  const std::string delivered = wait_for(*alice, 52);
  EXPECT_TRUE(has(delivered, "\"to\":100000002")) << delivered;
  const std::string got = wait_for(*bob, 16);
  EXPECT_TRUE(has(got, "\"from\":100000001")) << got;
  EXPECT_TRUE(has(got, "\"text\":\"Hello Bob, \\\"quoted\\\" 你好\"")) << got;

  command(*bob, "send 100000001 Hi Alice", "send");
  const std::string reply = wait_for(*alice, 16);
  EXPECT_TRUE(has(reply, "\"from\":100000002") && has(reply, "\"text\":\"Hi Alice\"")) << reply;

  // A nudge and an SMS.
  EXPECT_TRUE(has(command(*alice, "nudge 100000002", "nudge"), "\"ok\":true"))
      << alice->transcript();
  EXPECT_TRUE(has(wait_for(*bob, 19), "\"p2\":100000001"));
  command(*alice, "sms 100000002 an SMS for Bob", "sms");
  const std::string sms = wait_for(*alice, 32);
  EXPECT_TRUE(has(sms, "\"to\":100000002") && has(sms, "\"text\":\"an SMS for Bob\"")) << sms;

  // Bob turns busy; Alice sees it.
  command(*bob, "status 67", "status");
  wait_for(*bob, 99);
  EXPECT_TRUE(has(wait_for(*alice, 67), "\"p2\":100000002")) << alice->transcript();

  // Bob logs out; Alice sees him go offline.
  EXPECT_TRUE(has(command(*bob, "logout", "logout"), "\"ok\":true"));
  EXPECT_EQ(bob->wait_exit(kLimit), 0) << bob->transcript();
  EXPECT_TRUE(has(wait_for(*alice, 68), "\"p2\":100000002")) << alice->transcript();
  alice->write_line("quit");
  EXPECT_EQ(alice->wait_exit(kLimit), 0) << alice->transcript();
}

TEST_F(CliTest, ReadableOutputBadInputAndTheEchoAccount) {
  auto alice = cli("100000001", "alice123", false);
  ASSERT_TRUE(
      alice->read_until([](const std::string& l) { return has(l, "signed in as Alice"); }, kLimit))
      << alice->transcript();
  // Each bad line gets an error and the program goes on.
  const struct {
    const char* line;
    const char* error;
  } bad[] = {
      {"frobnicate 1", "unknown command 'frobnicate'"},
      {"send abc hello", "bad ID 'abc'"},
      {"send 100000002", "missing TEXT"},
      {"nudge", "missing ID"},
      {"status 12", "66..74"},
      {"add 12345 x 1 hi", "9 digits"},
      {"sms-mobile 139 hi", "11 digits"},
      {"wait x", "bad CODE"},
  };
  for (const auto& b : bad) {
    alice->write_line(b.line);
    const auto l =
        alice->read_until([](const std::string& s) { return has(s, "error: "); }, kLimit);
    ASSERT_TRUE(l) << b.line << "\n" << alice->transcript();
    EXPECT_TRUE(has(*l, b.error)) << b.line << " -> " << *l;
  }
  alice->write_line("me");
  EXPECT_TRUE(
      alice->read_until([](const std::string& s) { return has(s, "Alice (100000001"); }, kLimit))
      << alice->transcript();
  // The echo account answers a chat line; the answer is a readable chat line.
  alice->write_line("send 100000009 ping echo");
  EXPECT_TRUE(alice->read_until(
      [](const std::string& s) { return has(s, "] Echo: ") && has(s, "ping echo"); }, kLimit))
      << alice->transcript();
  alice->close_input();  // the end of input acts as quit
  EXPECT_EQ(alice->wait_exit(kLimit), 0) << alice->transcript();
}

TEST_F(CliTest, FailedLoginsExitWithTwoAndTheirCode) {
  const struct {
    const char* user;
    const char* password;
    int code;
  } cases[] = {
      {"100000001", "wrong", 4},
      {"100000077", "x", 4},  // no such account: answered as a wrong password
  };
  for (const auto& c : cases) {
    auto p = cli(c.user, c.password);
    EXPECT_TRUE(p->read_until([&](const std::string& l) { return is_message(l, c.code); }, kLimit))
        << c.user << "\n"
        << p->transcript();
    EXPECT_EQ(p->wait_exit(kLimit), 2) << p->transcript();
  }
}

TEST_F(CliTest, WaitTimeOutSignalAndMobileLogin) {
  // An 11-digit mobile number signs in as its Tavrin number.
  auto alice = signed_in("13900000001", "alice123");
  EXPECT_TRUE(has(command(*alice, "me", "me"), "\"id\":\"100000001\"")) << alice->transcript();
  alice->write_line("wait 19 1");
  EXPECT_TRUE(alice->read_until([](const std::string& l) { return is_result(l, "wait"); }, kLimit));
  EXPECT_EQ(alice->wait_exit(kLimit), 3) << alice->transcript();

  // SIGTERM (and Ctrl-C) log out like quit.
  auto bob = signed_in("100000002", "bob123");
  bob->send_signal(SIGTERM);
  EXPECT_EQ(bob->wait_exit(kLimit), 0) << bob->transcript();
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

TEST_F(CliOutageTest, BothEndsLogInAgainWhenTheServerComesBack) {
  auto alice = cli_with_remarks("100000001", "alice123");
  auto bob = cli_with_remarks("100000002", "bob123");
  command(*alice, "send 100000002 before", "send");
  wait_for(*alice, 52);

  kill_server();
  for (ChildProcess* p : {alice.get(), bob.get()})
    ASSERT_TRUE(
        p->read_until([](const std::string& l) { return has(l, "logging in again"); }, kLimit))
        << p->transcript();
  // While offline a line is refused, and says why.
  const std::string refused = command(*alice, "send 100000002 while down", "send");
  EXPECT_TRUE(has(refused, "\"ok\":false") && has(refused, "offline")) << refused;
  // Attempts go on (one remark each) until the server is back.
  ASSERT_TRUE(alice->read_until(
      [](const std::string& l) { return has(l, "logging in again (attempt 2"); }, kLimit))
      << alice->transcript();

  restart_server();
  for (ChildProcess* p : {alice.get(), bob.get()})
    ASSERT_TRUE(p->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
        << p->transcript();
  command(*alice, "send 100000002 after", "send");
  EXPECT_TRUE(has(wait_for(*alice, 52), "\"text\":\"after\"")) << alice->transcript();
  EXPECT_TRUE(bob->read_until(
      [](const std::string& l) { return is_message(l, 16) && has(l, "\"text\":\"after\""); },
      kLimit))
      << bob->transcript();
}

TEST_F(CliOutageTest, NoReloginExitsWithFive) {
  auto alice = cli_with_remarks("100000001", "alice123", {"--no-relogin"});
  kill_server();
  EXPECT_EQ(alice->wait_exit(kLimit), 5) << alice->transcript();
}

TEST_F(CliTest, SigninResolvesMobileNumbersOverHttpsOrFails) {
  // A server of its own with the sign-in endpoint and the CA it made.
  TempDir data("tavrin-cli-signin");
  ChildProcess server(TAVRIN_SERVER_BIN, {"--data", data.path.string(), "--demo", "--nav-port", "0",
                                          "--sipc-port", "0", "--signin-port", "0"});
  const auto ports = server.read_until(
      [](const std::string& l) { return has(l, "tavrin-server listening"); }, kLimit);
  ASSERT_TRUE(ports);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(*ports, m, std::regex("sipc=([0-9]+) signin=([0-9]+)")));
  const std::string sipc = "127.0.0.1:" + m[1].str();
  const std::string signin = "https://127.0.0.1:" + m[2].str();
  const std::string ca = data.file("tls/ca.pem");
  const auto run = [&](std::vector<std::string> more) {
    std::vector<std::string> args{"--server",   sipc,       "--user", "13900000001",
                                  "--password", "alice123", "--json"};
    args.insert(args.end(), more.begin(), more.end());
    return std::make_unique<ChildProcess>(TAVRIN_CLI_BIN, args);
  };
  auto alice = run({"--signin", signin, "--ca", ca});
  ASSERT_TRUE(alice->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
      << alice->transcript();
  EXPECT_TRUE(has(command(*alice, "me", "me"), "\"id\":\"100000001\"")) << alice->transcript();
  alice->write_line("quit");
  EXPECT_EQ(alice->wait_exit(kLimit), 0);

  // Another server's CA, which never signed this server's certificate.
  TempDir other_data("tavrin-cli-signin-other");
  {
    ChildProcess other(TAVRIN_SERVER_BIN, {"--data", other_data.path.string(), "--nav-port", "0",
                                           "--sipc-port", "0", "--signin-port", "0"});
    ASSERT_TRUE(other.read_until(
        [](const std::string& l) { return has(l, "tavrin-server listening"); }, kLimit));
  }
  const struct {
    const char* name;
    std::vector<std::string> options;
  } failures[] = {
      {"no CA: the system's store does not know the server's", {"--signin", signin}},
      {"a CA that did not sign it", {"--signin", signin, "--ca", other_data.file("tls/ca.pem")}},
      {"a closed sign-in port", {"--signin", "https://127.0.0.1:1", "--ca", ca}},
  };
  for (const auto& f : failures) {
    auto p = run(f.options);
    EXPECT_TRUE(
        p->read_until([](const std::string& l) { return has(l, "sign-in lookup"); }, kLimit))
        << f.name << "\n"
        << p->transcript();
    EXPECT_EQ(p->wait_exit(kLimit), 2) << f.name << "\n" << p->transcript();
  }
}

TEST_F(CliTest, ControlCharactersFromOthersAreDefusedInReadableOutput) {
  auto alice = cli("100000001", "alice123", false);
  ASSERT_TRUE(
      alice->read_until([](const std::string& l) { return has(l, "signed in as Alice"); }, kLimit));
  auto bob = signed_in("100000002", "bob123");
  command(*bob,
          "nick \x1b]0;owned\x07"
          "Bob",
          "nick");
  command(*bob, "send 100000001 \x1b[2Jcleared?", "send");
  const auto shown =
      alice->read_until([](const std::string& l) { return has(l, "cleared?"); }, kLimit);
  ASSERT_TRUE(shown) << alice->transcript();
  EXPECT_TRUE(has(*shown, "^[[2Jcleared?")) << *shown;
  alice->write_line("contacts");
  alice->read_until([](const std::string& l) { return has(l, "100000009"); }, kLimit);
  EXPECT_EQ(alice->transcript().find('\x1b'), std::string::npos) << alice->transcript();
  EXPECT_EQ(alice->transcript().find('\x07'), std::string::npos) << alice->transcript();
}

}  // namespace
}  // namespace tavrin::test
