// The login screen against the real tavrin-server: the keys of a login
// (success, refusal, cancel, bad input), the 11-digit lookup through the
// server's HTTPS sign-in, what is saved, and the screen's three states as
// golden screenshots.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "ScreenTest.h"
#include "libtavrin.h"
#include "platform/text_codec.h"
#include "screens/login/CLoginDlg.h"
#include "storage/SavedAccountStore.h"
#include "storage/ServerAddressStore.h"

using tavrin::screens::CLoginDlg;
using tavrin::screens::LoginConfig;

namespace {

class LoginScreenTest : public tavrin::test::ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    start_server();
  }

  LoginConfig config() {
    LoginConfig c;
    c.database = data.path / "DB" / "TavrinLog.db";
    c.signin_url = signin_url();
    c.ca_file = ca_file();
    c.server_override = tavrin::platform::utf8_to_utf16(sipc_address());
    return c;
  }
  // Fills the boxes as a user would, then runs fn inside the screen.
  void fill(CLoginDlg& dlg, std::u16string account, std::u16string password) {
    dlg.account_box().set_text(account);
    dlg.password_box().set_text(password);
  }
  void press_login() {
    tap(CLoginDlg::kLoginButton.centre().x, CLoginDlg::kLoginButton.centre().y + 52);
  }
  bool wait_idle(CLoginDlg& dlg) {
    return pump_until([&] { return !dlg.logging_in(); });
  }
  std::string golden(const std::string& name) {
    return ScreenTest::golden(TAVRIN_LOGIN_GOLDEN_DIR, TAVRIN_LOGIN_OUT_DIR, name);
  }
};

TEST_F(LoginScreenTest, ASuccessfulLoginClosesTheScreenAndSavesTheAccount) {
  CLoginDlg dlg(config());
  inside_modal([&] {
    fill(dlg, u"100000001", u"alice123");
    press_login();
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  EXPECT_TRUE(dlg.login_succeeded());
  EXPECT_EQ(dlg.progress(), u"登陆成功");
  const auto rows = tavrin::storage::SavedAccountStore(config().database).load();
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ((*rows)[0].account, u"100000001");
  EXPECT_EQ((*rows)[0].password, u"alice123");
  EXPECT_EQ(tavrin::storage::ServerAddressStore(config().database).loadLast(),
            tavrin::platform::utf8_to_utf16(sipc_address()));
}

TEST_F(LoginScreenTest, RefusalsLeaveTheScreenReadyForTheNextLogin) {
  struct Case {
    std::u16string account, password, progress;
  } cases[] = {
      {u"100000001", u"wrong-password", u"登陆失败：塔文号或密码不对"},
      {u"1000000012", u"alice123", u"请输入正确的塔文号码"},  // 10 digits
      {u"", u"alice123", u"请输入塔文号码"},
      {u"100000001", u"", u"请输入密码"},
  };
  for (const auto& c : cases) {
    CLoginDlg dlg(config());
    bool restarted = false;
    std::u16string seen;
    std::string design_faults;
    inside_modal([&] {
      fill(dlg, c.account, c.password);
      press_login();
      ASSERT_TRUE(wait_idle(dlg));
      seen = dlg.progress();
      // Every progress shown on the way reads whole ("请输入正确的塔文号码"
      // takes a smaller face rather than lose its end).
      settle();
      design_faults = design->faults("login: " + tavrin::platform::utf16_to_utf8(c.progress));
      // The next press is a new login, not a cancel.
      fill(dlg, u"100000001", u"alice123");
      press_login();
      restarted = dlg.logging_in() || dlg.login_succeeded();
    });
    EXPECT_EQ(dlg.run_modal(), 1) << std::string(c.progress.begin(), c.progress.end());
    EXPECT_EQ(seen, c.progress);
    EXPECT_EQ(design_faults, "");
    EXPECT_TRUE(restarted);
    fx_loginout();
  }
}

TEST_F(LoginScreenTest, ASecondPressCancelsTheLogin) {
  CLoginDlg dlg(config());
  std::u16string cancelled;
  inside_modal([&] {
    fill(dlg, u"100000001", u"alice123");
    press_login();
    ASSERT_TRUE(dlg.logging_in());
    press_login();
    cancelled = dlg.progress();
    EXPECT_FALSE(dlg.logging_in());
    dlg.end_modal(0);
  });
  EXPECT_EQ(dlg.run_modal(), 0);
  EXPECT_EQ(cancelled, u"您已取消登陆");
  EXPECT_FALSE(dlg.login_succeeded());
}

TEST_F(LoginScreenTest, AMobileNumberLogsInAsTheNumberTheSignInServerNames) {
  CLoginDlg dlg(config());
  inside_modal([&] {
    fill(dlg, u"13900000001", u"alice123");
    press_login();
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  const auto rows = tavrin::storage::SavedAccountStore(config().database).load();
  ASSERT_TRUE(rows && rows->size() == 1u);
  EXPECT_EQ((*rows)[0].account, u"100000001");  // the Tavrin number, not the mobile one
}

TEST_F(LoginScreenTest, ALookupWithAnUntrustedCertificateIsRefused) {
  // Another CA than the server's: the password must never reach that peer.
  LoginConfig c = config();
  c.ca_file = (std::filesystem::path(TAVRIN_LOGIN_OTHER_CA)).string();
  CLoginDlg dlg(c);
  std::u16string seen;
  inside_modal([&] {
    fill(dlg, u"13900000001", u"alice123");
    press_login();
    seen = dlg.progress();
    dlg.end_modal(0);
  });
  EXPECT_EQ(dlg.run_modal(), 0);
  EXPECT_EQ(seen, u"获取塔文号失败...");
}

TEST_F(LoginScreenTest, SavedAccountsArePrefilled) {
  tavrin::storage::SavedAccountStore(config().database).save(u"100000002", u"bob123");
  tavrin::storage::SavedAccountStore(config().database).save(u"12345678", u"eight");
  CLoginDlg dlg(config());
  std::u16string account, password;
  inside_modal([&] {
    account = dlg.account_box().text();
    password = dlg.password_box().text();
    dlg.end_modal(0);
  });
  dlg.run_modal();
  EXPECT_EQ(account, u"12345678");  // the last row
  EXPECT_EQ(password, u"bob123");   // of the last 9-digit account
}

// Changing 塔文号 never leaves another account's saved password in the box:
// the new account's own saved password comes in, or the box empties; a
// password the user typed stays.
TEST_F(LoginScreenTest, ChangingTheAccountChangesOrClearsThePassword) {
  tavrin::storage::SavedAccountStore(config().database).save(u"100000002", u"bob123");
  tavrin::storage::SavedAccountStore(config().database).save(u"100000003", u"carol123");
  CLoginDlg dlg(config());
  std::vector<std::u16string> seen;
  inside_modal([&] {
    const auto now = [&] { seen.push_back(dlg.account_box().text() + u"/" + dlg.password_box().text()); };
    now();             // prefilled: the last account, its password
    type(u"\b");       // 10000000: no saved password
    now();
    type(u"2");        // Bob's own
    now();
    tap(CLoginDlg::kPasswordBox.right - 8, 52 + CLoginDlg::kPasswordBox.top + 10);
    for (int i = 0; i < 8; ++i) type(u"\b");
    type(u"typed");    // the user's own password
    tap(CLoginDlg::kAccountBox.right - 8, 52 + CLoginDlg::kAccountBox.top + 10);
    type(u"\b");
    type(u"7");        // an account without a saved password: what was typed stays
    now();
    dlg.end_modal(0);
  });
  dlg.run_modal();
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"100000003/carol123", u"10000000/",
                                               u"100000002/bob123", u"100000007/typed"}));
}

// A proxy that takes the connection and never answers, so a login stays at
// its first step for as long as a screenshot needs.
class SilentProxy {
 public:
  SilentProxy() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 && listen(fd_, 4) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~SilentProxy() { close(fd_); }
  std::u16string address() const {
    return tavrin::platform::utf8_to_utf16("127.0.0.1:" + std::to_string(port_));
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST_F(LoginScreenTest, IdleLoggingInAndFailedLookAsTheyShould) {
  std::string idle, logging_in, failed;
  {
    CLoginDlg dlg(config());
    inside_modal([&] {
      idle = golden("login_idle");
      fill(dlg, u"100000001", u"wrong-password");
      press_login();
      ASSERT_TRUE(wait_idle(dlg));
      failed = golden("login_failed");
      dlg.end_modal(0);
    });
    dlg.run_modal();
  }
  SilentProxy silent;
  LoginConfig c = config();
  c.server_override = silent.address();
  CLoginDlg dlg(c);
  inside_modal([&] {
    fill(dlg, u"100000001", u"alice123");
    press_login();
    ASSERT_TRUE(pump_until([&] { return dlg.progress() == u"正在连接服务器"; }));
    logging_in = golden("login_logging_in");
    dlg.end_modal(0);
  });
  dlg.run_modal();
  EXPECT_EQ(idle, "");
  EXPECT_EQ(logging_in, "");
  EXPECT_EQ(failed, "");
}

}  // namespace

namespace {

// The login screen told to use TLS: a certificate it cannot trust, or a port
// that speaks no TLS, ends the login with its own words; a good one signs in
// and the address kept for next time keeps the tls:// that asks for TLS.
class TlsLoginScreenTest : public LoginScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    start_server({"--sipc-tls-port", "0"});
  }
};

TEST_F(TlsLoginScreenTest, RefusedCertificatesSayWhyAndAGoodOneSignsIn) {
  ASSERT_GT(server().sipcTls(), 0);
  const std::string tls = "tls://127.0.0.1:" + std::to_string(server().sipcTls());
  const struct {
    const char* name;
    std::string address;
    std::string ca;
    std::u16string progress;
    bool signs_in;
  } cases[] = {
      {"a CA that did not sign the certificate", tls, TAVRIN_LOGIN_OTHER_CA, u"服务器证书验证失败",
       false},
      {"TLS asked of the plain port", "tls://" + sipc_address(), ca_file(), u"加密连接失败", false},
      {"the service's own CA", tls, ca_file(), u"登陆成功", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(fx_set_ca_file(c.ca.c_str()), 1);
    LoginConfig lc = config();
    lc.server_override = tavrin::platform::utf8_to_utf16(c.address);
    CLoginDlg dlg(lc);
    std::u16string seen;
    inside_modal([&] {
      fill(dlg, u"100000001", u"alice123");
      press_login();
      if (!c.signs_in) {
        EXPECT_TRUE(wait_idle(dlg));
        seen = dlg.progress();
        dlg.end_modal(0);
      }
    });
    EXPECT_EQ(dlg.run_modal(), c.signs_in ? 1 : 0);
    EXPECT_EQ(c.signs_in ? dlg.progress() : seen, c.progress);
  }
  EXPECT_EQ(tavrin::storage::ServerAddressStore(config().database).loadLast(),
            tavrin::platform::utf8_to_utf16(tls));
}

}  // namespace
