// Contact management, profile, scheduled SMS and contact requests end to
// end: the engine against the real tavrin-server on loopback, with a second
// account in a peer process where two users take part.
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine_fixture.h"
#include "peer_process.h"
#include "test_server.h"

namespace tavrin::test {
namespace {

using std::chrono::milliseconds;

constexpr long kAlice = 100000001;
constexpr long kBob = 100000002;
constexpr long kCarol = 100000003;
constexpr long kDave = 100000004;

class ManageTest : public EngineTest {
 protected:
  void login(TestServer& server, const char* id, const char* pw) {
    ASSERT_TRUE(server.running());
    ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
    ASSERT_EQ(fx_login(id, pw, Recorder::callback, &login_rec), 1);
    ASSERT_TRUE(login_rec.wait_for(FX_MSG_LOGIN_OK));
    fx_set_system_msg_cb(Recorder::callback, &events);
  }
  // How often the server's log shows a request with the "N" value.
  static size_t count_of(const TestServer& server, const std::string& n) {
    const std::string log = server.log();
    size_t count = 0;
    for (size_t at = log.find(n); at != std::string::npos; at = log.find(n, at + n.size())) ++count;
    return count;
  }
  Recorder& login_rec = recorder();
  Recorder& events = recorder();
  Recorder& results = recorder();
};

// Takes a text message argument (p1) and frees it.
std::string take_text(intptr_t p1) {
  auto* t = reinterpret_cast<char*>(p1);
  std::string s = t ? t : "";
  std::free(t);
  return s;
}

std::string local_name_of(long id) {
  return with_store([id](contacts::EngineContacts&) {
    const fx_account* a = fx_get_account_by_id(id);
    return std::string(a && a->local_name ? a->local_name : "<none>");
  });
}

TEST_F(ManageTest, AddingByNumberAsksTheOtherAccountAndAcceptingJoinsBoth) {
  TestServer server;
  PeerProcess dave(server.sipcAddress(), "100000004", "dave123");
  ASSERT_TRUE(dave.wait_line("READY"));
  login(server, "100000003", "carol123");

  ASSERT_EQ(fx_add_buddy_by_uid("100000004", "Dave", 1, "Carol here", Recorder::callback, &results),
            1);
  Posted added{};
  ASSERT_TRUE(results.wait_for(FX_MSG_ADD_BUDDY_RESULT, std::chrono::seconds(20), -1, &added));
  EXPECT_EQ(added.p2, kDave);
  // Not yet accepted: the contact shows as waiting.
  EXPECT_EQ(fx_is_authed_by_id(kDave), 0);
  EXPECT_EQ(fx_get_online_status_by_id(kDave), 75);

  std::string request;
  ASSERT_TRUE(dave.wait_line("REQ ", &request));
  EXPECT_EQ(request.rfind("REQ Carol here sip:100000003@", 0), 0u) << request;
  const std::string uri = request.substr(request.find("sip:"));
  dave.send("accept " + uri + " 1 Carol");
  ASSERT_TRUE(dave.wait_line("ACCEPTED 1"));

  // Carol hears of the acceptance, then of Dave's presence.
  ASSERT_TRUE(events.wait_for(FX_MSG_CONTACT_CHANGED, std::chrono::seconds(20), kDave));
  EXPECT_TRUE(eventually([] { return fx_is_authed_by_id(kDave) == 1; }));
  EXPECT_TRUE(eventually([] { return fx_get_online_status_by_id(kDave) == 66; }));
  // Dave has Carol as a contact, with her presence.
  std::string info;
  EXPECT_TRUE(eventually(
      [&] {
        const size_t from = dave.lines_seen();
        dave.send("info 100000003");
        return dave.wait_line("INFO 100000003 66 1", &info, milliseconds(500), from);
      },
      std::chrono::seconds(20)))
      << info;
}

TEST_F(ManageTest, AnUnknownNumberIsReportedAsARefusal) {
  TestServer server;
  login(server, "100000001", "alice123");
  ASSERT_EQ(fx_add_buddy_by_uid("100009999", "Nobody", 1, "", Recorder::callback, &results), 1);
  Posted refused{};
  ASSERT_TRUE(results.wait_for(FX_MSG_ADD_BUDDY_RESULT, std::chrono::seconds(20), -1, &refused));
  EXPECT_EQ(refused.p1, 404);
  EXPECT_EQ(refused.p2, 0);
  EXPECT_EQ(fx_get_account_by_id(100009999), nullptr);
}

TEST_F(ManageTest, UnknownMobileNumberFallsBackToAMobileBuddy) {
  TestServer server;
  login(server, "100000001", "alice123");
  ASSERT_EQ(fx_add_buddy_by_mobile("13712345678", "Shop", 1, "", Recorder::callback, &results), 1);
  Posted added{};
  ASSERT_TRUE(results.wait_for(FX_MSG_ADD_BUDDY_RESULT, std::chrono::seconds(20), -1, &added));
  with_store([&](contacts::EngineContacts&) {
    const fx_account* a = fx_get_account_by_id(long(added.p2));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, 2);
    EXPECT_EQ(a->status, 78);
    EXPECT_STREQ(a->uri, "tel:13712345678");
    EXPECT_STREQ(a->local_name, "Shop");
  });
  EXPECT_EQ(count_of(server, "AddMobileBuddy"), 1u);
  // A mobile number of a Tavrin user becomes that user, no fallback.
  results.clear();
  ASSERT_EQ(fx_add_buddy_by_mobile("13900000004", nullptr, 2, "", Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_ADD_BUDDY_RESULT, std::chrono::seconds(20), kDave));
  with_store([&](contacts::EngineContacts&) {
    const fx_account* a = fx_get_account_by_id(kDave);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->kind, 1);
    EXPECT_STREQ(a->local_name, " ");  // no name is sent as one blank
  });
}

TEST_F(ManageTest, LocalNameOfAnAddIsCutAtAWholeCharacter) {
  TestServer server;
  login(server, "100000003", "carol123");
  // Four three-byte characters: ten bytes would end inside the fourth.
  ASSERT_EQ(fx_add_buddy_by_uid("100000004", "\xE5\xBC\xA0\xE4\xB8\x89\xE6\x9D\x8E\xE5\x9B\x9B", 1,
                                "", Recorder::callback, &results),
            1);
  ASSERT_TRUE(results.wait_for(FX_MSG_ADD_BUDDY_RESULT, std::chrono::seconds(20), kDave));
  EXPECT_EQ(local_name_of(kDave), "\xE5\xBC\xA0\xE4\xB8\x89\xE6\x9D\x8E");
}

TEST_F(ManageTest, ContactsAreMovedRenamedBlacklistedAndDeleted) {
  TestServer server;
  login(server, "100000001", "alice123");

  ASSERT_EQ(fx_move_group_buddy_by_id(kBob, 2, Recorder::callback, &results), 1);
  Posted moved{};
  ASSERT_TRUE(results.wait_for(FX_MSG_BUDDY_MOVED, std::chrono::seconds(20), kBob, &moved));
  EXPECT_EQ(moved.p1, 2);
  EXPECT_EQ(fx_get_account_group_id(fx_get_account_by_id(kBob)), 2);

  ASSERT_EQ(fs_set_buddyinfo(kBob, "Bobby"), 1);
  EXPECT_EQ(local_name_of(kBob), "Bobby");
  ASSERT_EQ(fx_set_buddyinfo(kBob, "Robert", Recorder::callback, &results), 1);
  Posted named{};
  ASSERT_TRUE(results.wait_for(FX_MSG_LOCALNAME_SET, std::chrono::seconds(20), kBob, &named));
  EXPECT_EQ(take_text(named.p1), "Robert");
  EXPECT_EQ(local_name_of(kBob), "Robert");

  // Blacklist: on, on again at once without a request, off, off again.
  ASSERT_EQ(fx_addto_blacklist_by_id(kBob, Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_BLACKLIST_ADDED, std::chrono::seconds(20), kBob));
  EXPECT_EQ(fx_is_InBlacklist_by_id(kBob), 1);
  EXPECT_EQ(fx_get_online_status_by_id(kBob), 77);
  with_store([](contacts::EngineContacts& s) {
    const fx_blocked* b = s.store()->blocked_by_id(kBob);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->local_name, "Robert");
  });
  results.clear();
  Recorder immediate;
  ASSERT_EQ(
      fx_addto_blacklist_by_account(fx_get_account_by_id(kBob), Recorder::callback, &immediate), 1);
  EXPECT_EQ(immediate.codes(), std::vector<int>{FX_MSG_BLACKLIST_ADDED});  // posted in the call
  ASSERT_EQ(fx_removefrom_blacklist_by_id(kBob, Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_BLACKLIST_REMOVED, std::chrono::seconds(20), kBob));
  EXPECT_EQ(fx_is_InBlacklist_by_id(kBob), 0);
  immediate.clear();
  ASSERT_EQ(fx_removefrom_blacklist_by_account(fx_get_account_by_id(kBob), Recorder::callback,
                                               &immediate),
            1);
  EXPECT_EQ(immediate.codes(), std::vector<int>{FX_MSG_BLACKLIST_REMOVED});
  EXPECT_EQ(count_of(server, "N=AddToBlacklist"), 1u);
  EXPECT_EQ(count_of(server, "N=RemoveFromBlacklist"), 1u);

  ASSERT_EQ(fx_delete_buddy_by_id(kCarol, Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_BUDDY_DELETED, std::chrono::seconds(20), kCarol));
  // Deleting again: the server no longer has the contact.
  ASSERT_EQ(fx_delete_buddy_by_id(kCarol, Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_BUDDY_DELETE_FAILED, std::chrono::seconds(20), kCarol));
}

TEST_F(ManageTest, BuddyListsAreCreatedRenamedAndDeleted) {
  TestServer server;
  login(server, "100000001", "alice123");
  ASSERT_EQ(fx_add_buddylist("Family", Recorder::callback, &results), 1);
  Posted created{};
  ASSERT_TRUE(results.wait_for(FX_MSG_BUDDYLIST_ADDED, std::chrono::seconds(20), -1, &created));
  EXPECT_EQ(take_text(created.p1), "Family");
  const int id = int(created.p2);
  ASSERT_GT(id, 2);
  with_store([&](contacts::EngineContacts& s) {
    const fx_group* g = s.store()->group_by_id(id);
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(g->name, "Family");
  });

  ASSERT_EQ(fs_rename_buddylist(id, "家人"), 1);
  with_store(
      [&](contacts::EngineContacts& s) { EXPECT_STREQ(s.store()->group_by_id(id)->name, "家人"); });

  ASSERT_EQ(fx_delete_buddylist(id, Recorder::callback, &results), 1);
  Posted deleted{};
  ASSERT_TRUE(results.wait_for(FX_MSG_BUDDYLIST_DELETED, std::chrono::seconds(20), id, &deleted));
  EXPECT_EQ(take_text(deleted.p1), "家人");
  with_store([&](contacts::EngineContacts& s) { EXPECT_EQ(s.store()->group_by_id(id), nullptr); });
  // A list the server does not have.
  ASSERT_EQ(fx_rename_buddylist(id, "x", Recorder::callback, &results), 1);
  Posted failed{};
  ASSERT_TRUE(
      results.wait_for(FX_MSG_BUDDYLIST_RENAME_FAILED, std::chrono::seconds(20), id, &failed));
  EXPECT_EQ(take_text(failed.p1), "x");
}

TEST_F(ManageTest, ProfileChangesReachAnotherAccountThroughPresence) {
  TestServer server;
  PeerProcess bob(server.sipcAddress(), "100000002", "bob123");
  ASSERT_TRUE(bob.wait_line("READY"));
  // The score as the login completes: not known until the server answered.
  static std::atomic<int> score_at_login{0};
  score_at_login = 0;
  struct Login {
    static void callback(int code, intptr_t p1, intptr_t p2, void* user) {
      if (code == FX_MSG_LOGIN_OK) score_at_login = fx_get_usr_score();
      Recorder::callback(code, p1, p2, user);
    }
  };
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  ASSERT_EQ(fx_login("100000001", "alice123", Login::callback, &login_rec), 1);
  ASSERT_TRUE(login_rec.wait_for(FX_MSG_LOGIN_OK));
  fx_set_system_msg_cb(Recorder::callback, &events);
  EXPECT_EQ(score_at_login.load(), -1);
  EXPECT_TRUE(eventually([] { return fx_get_usr_score() == 101; }));

  ASSERT_EQ(fx_set_user_impresa("去爬山", Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_IMPRESA_SET));
  ASSERT_EQ(fx_set_user_nickname("Ally", Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_NICKNAME_SET));
  ASSERT_EQ(fx_set_user_refuse_sms_day(3, Recorder::callback, &results), 1);
  Posted days{};
  ASSERT_TRUE(results.wait_for(FX_MSG_REFUSE_SMS_DAY_SET, std::chrono::seconds(20), -1, &days));
  EXPECT_EQ(days.p1, 3);
  with_store([](contacts::EngineContacts&) {
    const fx_personal_info* p = fx_data_get_PersonalInfo();
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->impresa, "去爬山");
    EXPECT_STREQ(p->nickname, "Ally");
  });
  EXPECT_EQ(fx_get_user_refuse_sms_day(), 3);

  std::string info;
  EXPECT_TRUE(eventually(
      [&] {
        const size_t from = bob.lines_seen();
        bob.send("info 100000001");
        return bob.wait_line("INFO 100000001 ", &info, milliseconds(500), from) &&
               info.find(" Ally|去爬山|3") != std::string::npos;
      },
      std::chrono::seconds(20)))
      << info;

  // Zero days lift the refusal.
  results.clear();
  ASSERT_EQ(fx_set_user_refuse_sms_day(0, Recorder::callback, &results), 1);
  ASSERT_TRUE(results.wait_for(FX_MSG_REFUSE_SMS_DAY_SET, std::chrono::seconds(20), -1, &days));
  EXPECT_EQ(days.p1, 0);
  EXPECT_EQ(fx_get_user_refuse_sms_day(), 0);
}

TEST_F(ManageTest, ContactProfileIsFetchedOnRequest) {
  TestServer server;
  login(server, "100000001", "alice123");
  ASSERT_EQ(fx_update_account_info_by_id(kBob), 1);
  ASSERT_TRUE(events.wait_for(FX_MSG_CONTACT_CHANGED, std::chrono::seconds(20), kBob));
  with_store([](contacts::EngineContacts&) {
    const fx_account* a = fx_get_account_by_id(kBob);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->personal_info, nullptr);
    EXPECT_STREQ(a->personal_info->mobile_no, "13900000002");
  });
  EXPECT_EQ(fx_update_account_info_by_id(123), 0);
}

int outbox_rows(const std::string& db_path, const std::string& body) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return -1;
  }
  sqlite3_busy_timeout(db, 2000);
  sqlite3_stmt* q = nullptr;
  int rows = -1;
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM outbox WHERE body=? AND command='ScheduleSMS'",
                         -1, &q, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(q, 1, body.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(q) == SQLITE_ROW) rows = sqlite3_column_int(q, 0);
  }
  sqlite3_finalize(q);
  sqlite3_close(db);
  return rows;
}

TEST_F(ManageTest, ScheduledSmsIsStoredListedAfterLoginAndDeleted) {
  TestServer server;
  login(server, "100000001", "alice123");
  // The login's fetch ends with 244, at the login's callback or at ours.
  ASSERT_TRUE(eventually(
      [&] {
        return events.wait_for(FX_MSG_SCHEDULE_SMS_LIST_OK, milliseconds(0)) ||
               login_rec.wait_for(FX_MSG_SCHEDULE_SMS_LIST_OK, milliseconds(0));
      },
      std::chrono::seconds(20)));
  EXPECT_EQ(fx_data_get_smlist(), nullptr);

  fx_list second{nullptr, nullptr};
  fx_list first{nullptr, &second};
  first.data = fx_get_account_by_id(kBob);
  second.data = fx_get_account_by_id(kCarol);
  ASSERT_EQ(
      fx_set_schedule_sms(&first, "生日快乐", "2099-01-01 10:00", Recorder::callback, &results), 1);
  Posted stored{};
  ASSERT_TRUE(results.wait_for(FX_MSG_SCHEDULE_SMS_STORED, std::chrono::seconds(20), -1, &stored));
  const int id = int(stored.p1);
  ASSERT_NE(id, 0);
  ASSERT_NE(fx_get_schedulesms_by_id(id), nullptr);

  // A fresh engine logs in again and fetches the list with its details.
  fx_set_system_msg_cb(nullptr, nullptr);
  fx_loginout();
  fx_terminate();
  with_store([](contacts::EngineContacts& s) { s.reset(); });
  ASSERT_EQ(fx_init(), 1);
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& relogin = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &relogin), 1);
  ASSERT_TRUE(relogin.wait_for(FX_MSG_LOGIN_OK));
  Recorder& later = recorder();
  fx_set_system_msg_cb(Recorder::callback, &later);
  ASSERT_TRUE(eventually(
      [&] {
        return with_store([&](contacts::EngineContacts&) {
          const fx_schedule_sms* sms = fx_get_schedulesms_by_id(id);
          return sms != nullptr && sms->message != nullptr;
        });
      },
      std::chrono::seconds(20)))
      << ::testing::PrintToString(relogin.codes()) << ::testing::PrintToString(later.codes());
  with_store([&](contacts::EngineContacts&) {
    const fx_schedule_sms* sms = fx_get_schedulesms_by_id(id);
    EXPECT_STREQ(sms->message, "生日快乐");
    ASSERT_NE(sms->send_time, nullptr);
    EXPECT_EQ(std::string(sms->send_time).rfind("2099-01-01 10:00", 0), 0u) << sms->send_time;
    ASSERT_NE(sms->receivers, nullptr);
    ASSERT_NE(sms->receivers->next, nullptr);
    EXPECT_EQ(static_cast<fx_account*>(sms->receivers->data)->id, kBob);
    EXPECT_EQ(static_cast<fx_account*>(sms->receivers->next->data)->id, kCarol);
    char* names = fx_covert_schedule_receiver_to_string(sms->receivers);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(std::count(names, names + std::strlen(names), ':'), 2);
    std::free(names);
  });

  ASSERT_EQ(fx_delete_schedule_sms(id, Recorder::callback, &results), 1);
  Posted deleted{};
  ASSERT_TRUE(
      results.wait_for(FX_MSG_SCHEDULE_SMS_DELETED, std::chrono::seconds(20), -1, &deleted));
  EXPECT_EQ(deleted.p1, id);
  EXPECT_EQ(fx_get_schedulesms_by_id(id), nullptr);
  EXPECT_EQ(fx_delete_schedule_sms(id, Recorder::callback, &results), 0);
}

TEST_F(ManageTest, ScheduledSmsWhoseTimeHasComeReachesTheOutbox) {
  TestServer server;
  login(server, "100000001", "alice123");
  fx_list only{fx_get_account_by_id(kBob), nullptr};
  ASSERT_EQ(fx_set_schedule_sms(&only, "due now", "2000-01-01 00:00", Recorder::callback, &results),
            1);
  ASSERT_TRUE(results.wait_for(FX_MSG_SCHEDULE_SMS_STORED));
  EXPECT_TRUE(eventually([&] { return outbox_rows(server.dbPath(), "due now") == 1; },
                         std::chrono::seconds(20)));
}

}  // namespace
}  // namespace tavrin::test
