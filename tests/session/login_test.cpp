// Login and session against the real server: progress codes, failures,
// navigation, cancel, restarts, lost connections, logout.
#include "session/login.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "engine_fixture.h"
#include "frame/engine.h"
#include "session/session.h"
#include "sipc/connection.h"
#include "sipc/wire.h"
#include "sipc_client.h"
#include "sqlite_db.h"
#include "store.h"
#include "test_server.h"

namespace tavrin::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Codes = std::vector<int>;

constexpr long kAlice = 100000001;
constexpr long kBob = 100000002;

// A loopback listener that accepts connections and never answers.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 8);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~SilentListener() {
    if (peer_ >= 0) ::close(peer_);
    ::close(fd_);
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  // True when a connection is waiting to be accepted (or was) within the limit.
  bool accept_within(int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return false;
    peer_ = ::accept(fd_, nullptr, nullptr);
    return peer_ >= 0;
  }
  // True when the accepted peer closed within the limit (after any bytes).
  bool peer_closed_within(int ms) {
    char buf[4096];
    const auto end = std::chrono::steady_clock::now() + milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{peer_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      if (::recv(peer_, buf, sizeof buf, 0) <= 0) return true;
    }
    return false;
  }

 private:
  int fd_ = -1, peer_ = -1, port_ = 0;
};

class LoginTest : public EngineTest {};

TEST_F(LoginTest, FirstLoginReportsProgressAndFillsTheStore) {
  TestServer server;
  ASSERT_TRUE(server.running());
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  EXPECT_EQ(rec.login_codes(), (Codes{1, 2, 8, 11, 14}));

  with_store([](contacts::EngineContacts& s) {
    const fx_user& u = s.user();
    EXPECT_EQ(u.registration_state, 2);
    EXPECT_EQ(u.expires, 1200);
    const contacts::ContactStore* store = s.store();
    EXPECT_NE(store, nullptr);
    if (!store) return 0;
    EXPECT_NE(store->account_by_id(kBob), nullptr);
    // The user's own entry comes last, of kind 0.
    const fx_list* last = store->accounts;
    while (last && last->next) last = last->next;
    EXPECT_EQ(static_cast<const fx_account*>(last->data)->id, kAlice);
    EXPECT_EQ(static_cast<const fx_account*>(last->data)->kind, 0);
    return 0;
  });
  // Keep-alive and the one-shot fetches of a first login are running.
  EXPECT_TRUE(engine().timers.contains(1, 1));
  // The own-info lookup, the last step before 14, filled the uri and mobile number.
  ASSERT_NE(fx_get_usr_uri(), nullptr);
  EXPECT_EQ(std::string(fx_get_usr_uri()).rfind("sip:100000001@tavrin.local", 0), 0u);
  EXPECT_STREQ(fx_get_usr_mobilenum(), "13900000001");
  // The personal information arrived too.
  EXPECT_TRUE(eventually([] {
    fx_lock_contacts();
    const fx_personal_info* p = fx_data_get_PersonalInfo();
    const bool ok = p && p->nickname && std::string(p->nickname) == "Alice";
    fx_unlock_contacts();
    return ok;
  }));
}

TEST_F(LoginTest, ReloginReportsWithoutContactListAndLeavesNoOldTimer) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& first = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &first), 1);
  ASSERT_TRUE(first.wait_for(FX_MSG_LOGIN_OK));
  // A status change whose time-out belongs to the old session.
  ASSERT_EQ(fx_set_user_state(67, "", Recorder::callback, &first), 0);

  Recorder& again = recorder();
  ASSERT_EQ(fx_relogin(Recorder::callback, &again), 1);
  ASSERT_TRUE(again.wait_for(FX_MSG_LOGIN_OK));
  EXPECT_EQ(again.login_codes(), (Codes{1, 2, 8, 14}));
  // Only the new session's keep-alive and its request for the lines stored
  // while the connection was down are left: no old time-out.
  EXPECT_EQ(engine().timers.count(), 2);
  EXPECT_TRUE(engine().timers.contains(1, 1));
  EXPECT_TRUE(engine().timers.contains(1, 5));
  // The presence subscription of the re-login still delivers the contacts.
  EXPECT_NE(session().presence_call.load(), 0);
}

TEST_F(LoginTest, RegistrationFailuresAreMapped) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  struct Case {
    const char* id;
    const char* password;
    Codes codes;
  } cases[] = {
      {"100000001", "wrong", {1, 2, 4}},  // 401 to the digest
      {"199999999", "x", {1, 2, 4}},      // no such account: answered as a wrong password
  };
  for (const Case& c : cases) {
    Recorder& rec = recorder();
    ASSERT_EQ(fx_login(c.id, c.password, Recorder::callback, &rec), 1);
    ASSERT_TRUE(rec.wait_count(c.codes.size())) << c.id;
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_EQ(rec.codes(), c.codes) << c.id;
    // A refused registration closes the connection.
    EXPECT_EQ(connection().socket(), nullptr) << c.id;
  }
}

TEST_F(LoginTest, LoginIdOfTenCharactersFailsWithoutTraffic) {
  SilentListener listener;
  ASSERT_EQ(fx_set_serve_address(listener.address().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("1000000012", "x", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_NOT_FOUND));
  EXPECT_EQ(rec.login_codes(), (Codes{7}));
  EXPECT_FALSE(listener.accept_within(300));
}

TEST_F(LoginTest, NavigationRunsWhenNoAddressIsSet) {
  TestServer server;
  fx_set_unknow_serve_address();
  ASSERT_EQ(fx_set_navigation_address("127.0.0.1", server.navPort()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000002", "bob123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  char* address = fx_get_serve_address();
  ASSERT_NE(address, nullptr);
  EXPECT_EQ(std::string(address), server.sipcAddress());
  free(address);
}

TEST_F(LoginTest, NavigationFailureOnTheNetworkGives5) {
  int port = 0;  // a port nobody listens on any more
  {
    SilentListener l;
    port = std::stoi(l.address().substr(10));
  }
  fx_set_unknow_serve_address();
  ASSERT_EQ(fx_set_navigation_address("127.0.0.1", port), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000002", "bob123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_FAILED));
  EXPECT_EQ(rec.login_codes(), (Codes{5}));
}

TEST_F(LoginTest, CancelDuringLoginClosesAndReportsNothingMore) {
  SilentListener listener;
  ASSERT_EQ(fx_set_serve_address(listener.address().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_CONNECTED));
  ASSERT_TRUE(listener.accept_within(2000));
  EXPECT_EQ(fx_cancel_login(), 1);
  EXPECT_TRUE(listener.peer_closed_within(2000));
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(rec.login_codes(), (Codes{1}));
  EXPECT_EQ(connection().socket(), nullptr);
}

TEST_F(LoginTest, AnswerGoneRestartsTheLogin) {
  TestServer server({"--test-gone", "1"});
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  EXPECT_EQ(rec.login_codes(), (Codes{1, 2, 1, 2, 8, 11, 14}));
}

TEST_F(LoginTest, SocketErrorsRestartTwiceThenFailWith5) {
  {
    TestServer server({"--test-drop-register", "2"});
    ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
    Recorder& rec = recorder();
    ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
    ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
    EXPECT_EQ(rec.login_codes(), (Codes{1, 1, 1, 2, 8, 11, 14}));
    // The server's end must not count as a login error here.
    fx_set_system_msg_cb(nullptr, nullptr);
  }
  // The count is not reset by the successful login: the next error is the third.
  clear_session_tables();
  fx_close_network();
  TestServer server({"--test-drop-register", "5"});
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_FAILED));
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(rec.login_codes(), (Codes{1, 5}));
  // After 5 the count starts again: two restarts, then 5.
  rec.clear();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_FAILED));
  EXPECT_EQ(rec.login_codes(), (Codes{1, 1, 1, 5}));
}

TEST_F(LoginTest, LoggedInElsewhereYields98AndCloses) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& login_rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &login_rec), 1);
  ASSERT_TRUE(login_rec.wait_for(FX_MSG_LOGIN_OK));
  // Let the login's last requests (group dialogs) through first: data sent
  // to a connection the server has just closed can reset it before the
  // engine reads the server's last words.
  ASSERT_TRUE(eventually([&] {
    const auto c = login_rec.codes();
    return std::count(c.begin(), c.end(), int(FX_MSG_DIALOG_OPEN)) == 2;
  }));
  Recorder& events = recorder();
  fx_set_system_msg_cb(Recorder::callback, &events);

  SipcClient other(server.sipcPort());
  ASSERT_EQ(other.login("100000001", "alice123"), 200);
  ASSERT_TRUE(events.wait_for(FX_MSG_DEREGISTERED)) << server.log();
  EXPECT_TRUE(eventually([] { return connection().socket() == nullptr; }));
  // Nothing reconnects by itself.
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(connection().socket(), nullptr);
}

TEST_F(LoginTest, KeepaliveAnswerWithZeroExpiryCloses) {
  TestServer server({"--test-end-keepalive"});
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  ASSERT_NE(connection().socket(), nullptr);
  Recorder& events = recorder();
  fx_set_system_msg_cb(Recorder::callback, &events);
  // Make the keep-alive (20000 ticks) fire now.
  engine().timers.advance(kKeepaliveTicks);
  EXPECT_TRUE(eventually([] { return connection().socket() == nullptr; }));
  EXPECT_EQ(fx_get_expirestime(), 0);
  // The engine closed it itself: no socket error is reported.
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_FALSE(events.wait_for(FX_MSG_SOCKET_ERROR, milliseconds(1)));
}

TEST_F(LoginTest, LogoutEndsTheSessionOnTheServerAndClearsEverything) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  SipcClient bob(server.sipcPort());
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);

  fx_loginout();
  EXPECT_EQ(engine().timers.count(), 0);
  EXPECT_EQ(wire().transactions.size(), 0u);
  EXPECT_TRUE(eventually([] { return connection().socket() == nullptr; }));
  // Alice is offline for the server: Bob's lookup of her shows 0.
  sipc_message answer;
  ASSERT_EQ(bob.command("S", "GetUserInfo", "<args><user sid=\"100000001\" /></args>", &answer),
            200);
  EXPECT_NE(answer.body().find("user-status=\"0\""), std::string::npos);
  // A new login can start (no keep-alive holds the timer pair).
  Recorder& again = recorder();
  EXPECT_EQ(fx_login("100000001", "alice123", Recorder::callback, &again), 1);
  EXPECT_TRUE(again.wait_for(FX_MSG_LOGIN_OK));
}

TEST_F(LoginTest, MobileNumberIsResolvedAtLogin) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("13900000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  EXPECT_STREQ(fx_get_usr_uid(), "100000001");

  // A number without an account is refused like a wrong password, after
  // the same exchange (the service names a stand-in account for it).
  clear_session_tables();
  fx_close_network();
  Recorder& unknown = recorder();
  ASSERT_EQ(fx_login("13999999999", "x", Recorder::callback, &unknown), 1);
  ASSERT_TRUE(unknown.wait_for(FX_MSG_LOGIN_WRONG_PASSWORD));
  EXPECT_EQ(unknown.login_codes(), (Codes{1, 2, 4}));
}

TEST_F(LoginTest, MobileNumberWithoutServerGives5) {
  int port = 0;
  {
    SilentListener l;
    port = std::stoi(l.address().substr(10));
  }
  ASSERT_EQ(fx_set_serve_address(("127.0.0.1:" + std::to_string(port)).c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("13900000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_FAILED));
  EXPECT_EQ(rec.login_codes(), (Codes{5}));
}

TEST_F(LoginTest, SyncLoginReturns1OrZero) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  EXPECT_EQ(fs_login("100000001", "wrong"), 0);
  EXPECT_EQ(fs_login("100000001", "alice123"), 1);
}

// An account whose contact list answer is over 1 MiB: 4,996 contacts, each
// named with 40 Chinese characters (120 bytes), with a mood of 80 (240 bytes),
// seeded into the server's store.
void seed_wide_contact_list(tavrin::server::Store& store) {
  constexpr long kOwner = 310000000;
  constexpr int kCount = 4996;
  std::string name;
  for (int i = 0; i < 40; ++i) name += "塔";
  tavrin::server::Db& db = store.db();
  tavrin::server::Transaction tx(db);
  for (long n = kOwner; n <= kOwner + kCount; ++n) {
    tavrin::server::Account a;
    a.number = n;
    a.nickname = "wide" + std::to_string(n - kOwner);
    a.impresa = name + name;  // the presence events are over 1 MiB too
    store.putAccount(a, "wide");
  }
  for (int i = 1; i <= kCount; ++i)
    db.sql(
          "INSERT INTO buddies(owner, buddy, local_name, lists, relation, online_notify) "
          "VALUES(?,?,?,'',1,1)")
        .bind(1, kOwner)
        .bind(2, kOwner + i)
        .bind(3, name)
        .run();
}

TEST_F(LoginTest, ContactListOverOneMebibyteSignsIn) {
  TestServer server({}, seed_wide_contact_list, false);
  ASSERT_TRUE(server.running());
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("310000000", "wide", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK, seconds(60))) << ::testing::PrintToString(rec.codes());
  EXPECT_EQ(rec.login_codes(), (Codes{1, 2, 8, 11, 14}));
  with_store([](contacts::EngineContacts& s) {
    const contacts::ContactStore* store = s.store();
    EXPECT_NE(store, nullptr);
    if (!store) return 0;
    const fx_account* last = store->account_by_id(310004996);
    EXPECT_NE(last, nullptr);
    if (last) {
      EXPECT_EQ(std::string(last->local_name).size(), 120u);
    }
    return 0;
  });
  // The subscription's events name every contact too, and are as long.
  EXPECT_TRUE(eventually(
      [] {
        fx_lock_contacts();
        int with_presence = 0;
        for (fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a))
          if (a->personal_info && a->device_type) ++with_presence;
        fx_unlock_contacts();
        return with_presence >= 4996;
      },
      seconds(30)));
}

}  // namespace
}  // namespace tavrin::test
