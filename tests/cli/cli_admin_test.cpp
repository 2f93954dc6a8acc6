// The operator's account commands (tavrin-server account ...) run while
// the real server runs, seen through tavrin-cli as its users see them:
// a new account signs in and chats, a new password replaces the old one,
// a disabled account is signed out at once, a removed one leaves its
// friends' lists, and an import creates only its good lines.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "cli_fixture.h"
#include "temp_dir.h"

namespace tavrin::test {
namespace {

class CliAdminTest : public CliTest {
 protected:
  struct Result {
    int status = -1;
    std::string output;
  };
  // tavrin-server ARGS --data DIR, with `input` on its standard input.
  Result admin(std::vector<std::string> args, const std::string& input = {}) {
    args.push_back("--data");
    args.push_back(dir_);
    ChildProcess p(TAVRIN_SERVER_BIN, args, {}, true);
    if (!input.empty()) p.write_line(input);
    p.close_input();
    while (p.read_line(kLimit)) {
    }
    Result r;
    r.status = p.wait_exit(kLimit);
    r.output = p.transcript();
    return r;
  }
  // Reads on until a message with this code about this contact (lines read
  // before, such as the login's own, do not count).
  static bool sees(ChildProcess& p, int code, long id) {
    const std::string about = "\"p2\":" + std::to_string(id);
    return bool(p.read_until(
        [&](const std::string& l) { return is_message(l, code) && has(l, about); }, kLimit));
  }
  // A cli that must fail to log in: its exit status.
  int refusedLogin(const std::string& user, const std::string& password) {
    auto p = cli(user, password);
    const int status = p->wait_exit(kLimit);
    EXPECT_FALSE(has(p->transcript(), "{\"code\":14,")) << p->transcript();
    return status;
  }
};

constexpr int kLoginFailed = 2;     // tavrin-cli's exit status
constexpr int kSessionEnded = 4;

TEST_F(CliAdminTest, AnAccountMadeWhileTheServerRunsChatsAndItsNewPasswordReplacesTheOld) {
  auto alice = signed_in("100000001", "alice123");
  const Result made = admin({"account", "add", "--mobile", "13800000123", "--nickname", "Zed",
                             "--password-stdin"},
                            "zed-pass-1");
  ASSERT_EQ(made.status, 0) << made.output;
  EXPECT_TRUE(has(made.output, "created account 100000010")) << made.output;

  {
    // The new user asks Alice to be friends, she accepts, and they chat.
    auto zed = signed_in("100000010", "zed-pass-1");
    command(*zed, "add 100000001 Alice 1 it is Zed", "add");
    EXPECT_TRUE(has(wait_for(*alice, 93), "sip:100000010@")) << alice->transcript();
    command(*alice, "accept sip:100000010@tavrin.local;p=1 1 Zed", "accept");
    EXPECT_TRUE(sees(*zed, 80, 100000001)) << zed->transcript();  // she accepted
    EXPECT_TRUE(has(command(*zed, "send 100000001 hello from Zed", "send"), "\"ok\":true"));
    const std::string got = wait_for(*alice, 16);
    EXPECT_TRUE(has(got, "\"from\":100000010") && has(got, "hello from Zed")) << got;
    command(*alice, "send 100000010 welcome, Zed", "send");
    EXPECT_TRUE(has(wait_for(*zed, 16), "welcome, Zed")) << zed->transcript();
    zed->write_line("quit");
    EXPECT_EQ(zed->wait_exit(kLimit), 0);
  }

  const Result changed = admin({"account", "passwd", "100000010", "--password-stdin"}, "zed-pass-2");
  ASSERT_EQ(changed.status, 0) << changed.output;
  EXPECT_EQ(refusedLogin("100000010", "zed-pass-1"), kLoginFailed);
  auto again = signed_in("100000010", "zed-pass-2");
  EXPECT_TRUE(has(again->transcript(), "{\"code\":14,"));
}

TEST_F(CliAdminTest, DisablingEndsTheSessionAtOnceAndRefusesLoginsUntilEnabled) {
  auto carol = signed_in("100000003", "carol123");
  auto alice = signed_in("100000001", "alice123");
  ASSERT_EQ(admin({"account", "disable", "100000003"}).status, 0);
  EXPECT_TRUE(carol->read_until([](const std::string& l) { return is_message(l, 98); }, kLimit))
      << carol->transcript();
  EXPECT_EQ(carol->wait_exit(kLimit), kSessionEnded) << carol->transcript();
  // Her friend sees her go offline.
  EXPECT_TRUE(sees(*alice, 68, 100000003)) << alice->transcript();

  EXPECT_EQ(refusedLogin("100000003", "carol123"), kLoginFailed);
  const Result shown = admin({"account", "show", "100000003", "--json"});
  EXPECT_TRUE(has(shown.output, "\"disabled\":true")) << shown.output;

  ASSERT_EQ(admin({"account", "enable", "13900000003"}).status, 0);  // by mobile number
  signed_in("100000003", "carol123");
}

TEST_F(CliAdminTest, ARemovedAccountLeavesItsFriendsListsAndCannotLogIn) {
  auto bob = signed_in("100000002", "bob123");
  ASSERT_TRUE(has(command(*bob, "contacts", "contacts"), "\"id\":100000001")) << bob->transcript();
  ASSERT_EQ(admin({"account", "remove", "100000001"}).status, 0);
  // Bob, signed in, hears of the change at once...
  EXPECT_TRUE(sees(*bob, 80, 100000001)) << bob->transcript();
  bob->write_line("quit");
  EXPECT_EQ(bob->wait_exit(kLimit), 0);
  // ...and at his next login Alice is no longer on his list.
  auto later = signed_in("100000002", "bob123");
  const std::string contacts = command(*later, "contacts", "contacts");
  EXPECT_FALSE(has(contacts, "\"id\":100000001")) << contacts;
  EXPECT_TRUE(has(contacts, "\"id\":100000009")) << contacts;

  EXPECT_EQ(refusedLogin("100000001", "alice123"), kLoginFailed);
  EXPECT_FALSE(has(admin({"account", "list"}).output, "13900000001"));
}

TEST_F(CliAdminTest, AnImportCreatesOnlyItsGoodLinesAndNamesWhyTheOthersWereRefused) {
  TempDir scratch("tavrin-import");
  const std::string csv = scratch.file("accounts.csv");
  {
    std::ofstream out(csv);
    out << "number,mobile,nickname,password\r\n"
           "200000100,13700000001,Gus,gus-pass\r\n"
           ",13700000002,\"Hu, the second\",hu-pass\r\n"
           "12345,13700000003,Short,x\r\n"
           ",1370000000,Digits,x\r\n"
           ",13900000002,Taken,x\r\n"
           ",13700000004,,x\r\n";
  }
  const Result r = admin({"account", "import", csv, "--json"});
  EXPECT_EQ(r.status, 1) << r.output;  // some lines were refused
  EXPECT_TRUE(has(r.output, "{\"line\":2,\"number\":200000100}")) << r.output;
  EXPECT_TRUE(has(r.output, "{\"line\":3,\"number\":200000101}")) << r.output;
  const struct {
    int line;
    const char* reason;
  } refused[] = {{4, "the number must have 9 digits"},
                 {5, "the mobile number must be 11 digits starting with 1"},
                 {6, "the mobile number 13900000002 belongs to another account"},
                 {7, "the nickname is empty"}};
  for (const auto& x : refused)
    EXPECT_TRUE(has(r.output, "{\"line\":" + std::to_string(x.line) + ",\"reason\":\"" +
                                  x.reason + "\"}"))
        << x.line << "\n" << r.output;

  const std::string all = admin({"account", "list", "--json"}).output;
  for (const char* mobile : {"13700000001", "13700000002"}) EXPECT_TRUE(has(all, mobile)) << all;
  for (const char* mobile : {"13700000003", "1370000000\"", "13700000004"})
    EXPECT_FALSE(has(all, mobile)) << all;
  EXPECT_TRUE(has(admin({"account", "show", "200000101"}).output, "Hu, the second"));
  signed_in("200000101", "hu-pass");
}

}  // namespace
}  // namespace tavrin::test
