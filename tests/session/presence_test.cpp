// Presence end to end: another account's status, mood, nickname and
// refuse-SMS days reach the engine and its store; the user's own status.
#include "contacts/presence.h"

#include <string>

#include "engine_fixture.h"
#include "frame/engine.h"
#include "session/session.h"
#include "session/session_hooks.h"
#include "sipc/wire.h"
#include "sipc_client.h"
#include "store.h"
#include "test_server.h"

namespace tavrin::test {
namespace {

using std::chrono::milliseconds;
using Codes = std::vector<int>;

constexpr long kAlice = 100000001;
constexpr long kBob = 100000002;

// Dialogs dropped through the session hook (the dialog layer's place).
std::mutex g_dropped_mu;
std::vector<long> g_dropped;
void record_drop(long id) {
  std::lock_guard lock(g_dropped_mu);
  g_dropped.push_back(id);
}
std::vector<long> dropped() {
  std::lock_guard lock(g_dropped_mu);
  return g_dropped;
}

class PresenceTest : public EngineTest {
 protected:
  // Logs Alice in and installs `events` as the system callback.
  void login_alice(TestServer& server, const char* id = "100000001", const char* pw = "alice123") {
    ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
    ASSERT_EQ(fx_login(id, pw, Recorder::callback, &login_rec), 1);
    ASSERT_TRUE(login_rec.wait_for(FX_MSG_LOGIN_OK));
    fx_set_system_msg_cb(Recorder::callback, &events);
  }
  void TearDown() override {
    EngineTest::TearDown();
    set_session_hooks(saved_hooks);
  }
  SessionHooks saved_hooks = session_hooks();
  // Declared first, destroyed last: group dialog results of the login
  // keep arriving at the login's callback after 14.
  Recorder& login_rec = recorder();
  Recorder& events = recorder();
};

int set_presence(SipcClient& c, const std::string& inner) {
  return c.command("S", "SetPresence", "<args><presence>" + inner + "</presence></args>");
}

TEST_F(PresenceTest, AnotherAccountsChangesReachTheStore) {
  SessionHooks hooks = session_hooks();
  hooks.drop_dialog = record_drop;
  set_session_hooks(hooks);
  TestServer server;
  login_alice(server);
  SipcClient bob(server.sipcPort());
  ASSERT_EQ(bob.login("100000002", "bob123", "400"), 200);
  ASSERT_TRUE(events.wait_for(66, milliseconds(5000), kBob));

  // Each presence value Bob sets arrives as its status code.
  const struct {
    const char* value;
    int code;
  } table[] = {{"600", 67}, {"300", 69}, {"850", 70}, {"500", 71},
               {"150", 72}, {"100", 73}, {"400", 66}};
  for (const auto& row : table) {
    events.clear();
    ASSERT_EQ(set_presence(bob, std::string("<basic value=\"") + row.value + "\" />"), 200);
    ASSERT_TRUE(events.wait_for(row.code, milliseconds(5000), kBob)) << row.value;
    EXPECT_EQ(events.codes_for(kBob), (Codes{80, row.code})) << row.value;
    EXPECT_EQ(fx_get_online_status_by_id(kBob), row.code);
  }

  events.clear();
  ASSERT_EQ(
      bob.command("S", "SetPersonalInfo", "<args><personal impresa=\"on the train\" /></args>"),
      200);
  ASSERT_TRUE(events.wait_for(80, milliseconds(5000), kBob));
  ASSERT_EQ(bob.command("S", "SetPersonalInfo", "<args><personal nickname=\"Bobby\" /></args>"),
            200);
  ASSERT_TRUE(eventually([] {
    fx_lock_contacts();
    const fx_account* b = fx_get_account_by_id(kBob);
    const bool ok = b && b->personal_info && b->personal_info->nickname &&
                    std::string(b->personal_info->nickname) == "Bobby";
    fx_unlock_contacts();
    return ok;
  }));
  fx_lock_contacts();
  const fx_account* b = fx_get_account_by_id(kBob);
  EXPECT_STREQ(b->personal_info->impresa, "on the train");
  EXPECT_STREQ(b->device_type, "PC");
  char* shown = fx_get_account_show_name(b, 1);
  EXPECT_STREQ(shown, "Bobby(on the train)");
  free(shown);
  fx_unlock_contacts();

  events.clear();
  ASSERT_EQ(set_presence(bob, "<extended type=\"sms\">2.00:00:00</extended>"), 200);
  Posted days{};
  ASSERT_TRUE(events.wait_for(FX_MSG_CONTACT_REFUSE_SMS_DAYS, milliseconds(5000), kBob, &days));
  EXPECT_EQ(days.p1, 2);

  // Going offline: status 68 and the open dialog is dropped.
  events.clear();
  {
    std::lock_guard lock(g_dropped_mu);
    g_dropped.clear();
  }
  ASSERT_EQ(set_presence(bob, "<basic value=\"0\" />"), 200);
  ASSERT_TRUE(events.wait_for(68, milliseconds(5000), kBob));
  EXPECT_EQ(dropped(), (std::vector<long>{kBob}));
  EXPECT_FALSE(fx_is_on_line_by_id(kBob));
}

TEST_F(PresenceTest, OwnStateSends100AndTheEchoReads73) {
  TestServer server;
  login_alice(server);
  SipcClient bob(server.sipcPort());
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  // Bob watches Alice: his subscription ends with her state.
  const int32_t sub = bob.nextCallId();
  sipc_message m =
      bob.request("SUB", sub, 1,
                  "<args><subscription><contacts><contact uri=\"sip:100000001@tavrin.local\" />"
                  "</contacts></subscription></args>");
  m.add_header("N", "presence");
  bob.send(m);
  sipc_message event;
  ASSERT_TRUE(bob.expect(
      [](const sipc_message& e) {
        return e.method() == "BN" && e.body().find("PresenceChanged") != std::string::npos;
      },
      event));

  Recorder& rec = recorder();
  EXPECT_EQ(fx_set_user_state(74, "meeting", Recorder::callback, &rec), 0);
  Posted set{};
  ASSERT_TRUE(rec.wait_for(FX_MSG_STATE_SET, milliseconds(5000), -1, &set));
  EXPECT_EQ(set.p1, 74);
  EXPECT_EQ(fx_get_user_state(), 74);
  // What the server passed on to Bob is presence 100.
  ASSERT_TRUE(bob.expect(
      [](const sipc_message& e) {
        return e.method() == "BN" && e.body().find("<basic value=\"100\"") != std::string::npos;
      },
      event));
  // The answered request's time-out is gone: only session timers remain.
  for (int i = 0; i < engine().timers.count(); ++i) {
    uint32_t key1 = 0, key2 = 0;
    if (engine().timers.key_at(i, &key1, &key2)) {
      EXPECT_EQ(key1, 1u) << key2;
    }
  }

  // The user's own subscription needs the own uri (looked up after the
  // first login); a re-login subscribes it. The server's echo of 100 for
  // the user then reads 73, not 74.
  ASSERT_TRUE(eventually([] { return fx_get_usr_uri() != nullptr; }));
  Recorder& again = recorder();
  ASSERT_EQ(fx_relogin(Recorder::callback, &again), 1);
  ASSERT_TRUE(again.wait_for(FX_MSG_LOGIN_OK));
  fx_set_system_msg_cb(Recorder::callback, &events);
  events.clear();
  EXPECT_EQ(fx_set_user_state(74, "meeting", nullptr, nullptr), 0);
  ASSERT_TRUE(events.wait_for(73, milliseconds(5000), kAlice));
  EXPECT_TRUE(events.wait_for(FX_MSG_STATE_SET, milliseconds(5000)));
  EXPECT_EQ(fx_get_user_state(), 74);
  with_store([](contacts::EngineContacts& s) {
    EXPECT_EQ(s.store()->account_by_id(kAlice)->status, 73);
    return 0;
  });

  // Refuse-SMS days reported for the user's own uri: 79 and 106.
  Recorder& days = recorder();
  ASSERT_EQ(fx_set_user_refuse_sms_day(3, Recorder::callback, &days), 1);
  Posted own_days{};
  ASSERT_TRUE(
      events.wait_for(FX_MSG_CONTACT_REFUSE_SMS_DAYS, milliseconds(5000), kAlice, &own_days));
  EXPECT_EQ(own_days.p1, 3);
  Posted reported{};
  ASSERT_TRUE(events.wait_for(FX_MSG_REFUSE_SMS_DAY_SET, milliseconds(5000), kAlice, &reported));
  EXPECT_EQ(reported.p1, 3);
  EXPECT_EQ(fx_get_user_refuse_sms_day(), 3);
}

TEST_F(PresenceTest, OwnStateOutOfRangeSendsNothingAndSilenceTimesOut) {
  TestServer server;
  login_alice(server);
  EXPECT_EQ(fx_set_user_state(80, "", nullptr, nullptr), 1);
  EXPECT_EQ(fx_set_user_state(65, "", nullptr, nullptr), 1);
  const int before = fx_get_user_state();

  // No connection, no answer: the 15 s time-out reports 101.
  fx_close_network();
  Recorder& rec = recorder();
  EXPECT_EQ(fx_set_user_state(66, "", Recorder::callback, &rec), 0);
  // 15 s at once. A one-shot of the login that ends in the same pass moves
  // the last timer into its place, which then waits for the next pass.
  engine().timers.advance(1500);
  engine().timers.advance(1500);
  Posted late{};
  ASSERT_TRUE(rec.wait_for(FX_MSG_STATE_SET_TIMEOUT, milliseconds(2000), -1, &late));
  EXPECT_EQ(late.p1, 66);
  EXPECT_EQ(fx_get_user_state(), before);
}

TEST_F(PresenceTest, OnlyMobileBuddiesMeansNoSubscription) {
  TestServer server({}, [](tavrin::server::Store& store) {
    tavrin::server::Account a;
    a.number = 300000001;
    a.nickname = "phones";
    store.putAccount(a, "pw");
    store.db().sql("INSERT INTO buddy_lists(owner, id, name) VALUES(300000001, 1, 'x')").run();
    store.db()
        .sql(
            "INSERT INTO mobile_buddies(owner, mobile, local_name, lists, relation) "
            "VALUES(300000001, '13800138000', 'Mum', '1', 1)")
        .run();
  });
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("300000001", "pw", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  EXPECT_EQ(rec.login_codes(), (Codes{1, 2, 8, 11, 14}));
  EXPECT_EQ(session().presence_call.load(), 0);
  EXPECT_EQ(server.log().find("N=presence"), std::string::npos);
}

TEST_F(PresenceTest, SingleUnsubscribeAndSubscribe) {
  TestServer server;
  login_alice(server);
  SipcClient bob(server.sipcPort());
  ASSERT_EQ(bob.login("100000002", "bob123"), 200);
  ASSERT_TRUE(events.wait_for(66, milliseconds(5000), kBob));

  contacts::unsubscribe_contact(kBob);
  // Once the unsubscription is through, nothing about Bob arrives any more.
  std::this_thread::sleep_for(milliseconds(300));
  events.clear();
  ASSERT_EQ(set_presence(bob, "<basic value=\"600\" />"), 200);
  EXPECT_FALSE(events.wait_for(67, milliseconds(800), kBob));

  contacts::subscribe_contact(kBob);
  ASSERT_TRUE(events.wait_for(67, milliseconds(5000), kBob));
}

}  // namespace
}  // namespace tavrin::test
