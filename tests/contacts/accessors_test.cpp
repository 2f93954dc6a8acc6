// The exported accessors over the engine's installed store: status in its
// order, online tests, display names, group ids, own-account accessors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "libtavrin.h"
#include "roster/engine_contacts.h"
#include "test_records.h"

using namespace tavrin::contacts;
using namespace tavrin::contacts::testing;

namespace {

std::string take(char* s) {
  std::string out = s ? s : "(null)";
  std::free(s);
  return out;
}

class Accessors : public ::testing::Test {
 protected:
  void SetUp() override {
    auto store = std::make_unique<ContactStore>();
    store->adopt_account(make_account("sip:100000001@x"));     // plain buddy
    store->adopt_account(make_account("sip:100000002@x", 0));  // unanswered
    store->adopt_account(make_account("sip:100000003@x", 2));  // relation 2
    store->adopt_account(make_account("sip:100000004@x", 0));  // unanswered and blocked
    store->adopt_account(make_account("tel:13912345678"));     // mobile buddy
    store->adopt_blocked(make_blocked("sip:100000004@x"));
    auto lock = state().lock();
    state().set_login("200000000", "secret");
    state().user().state = 66;
    state().install(std::move(store));
  }
  static EngineContacts& state() { return EngineContacts::instance(); }
  fx_account* account(long id) { return fx_get_account_by_id(id); }
  EngineReset reset_;
};

TEST_F(Accessors, StatusFollowsItsOrder) {
  account(100000001)->status = 66;
  account(100000004)->status = 66;
  account(100000002)->status = 66;  // presence reported while unanswered
  struct {
    long id;
    int status;
    int online;
  } cases[] = {
      {100000001, 66, 1},                       // stored status
      {100000002, 75, 0},                       // relation 0 beats presence
      {100000003, 76, 0},  {100000004, 77, 0},  // blacklist beats relation 0
      {1912345678, 78, 0},                      // mobile buddy
      {123, 0, 0},                              // no account
      {200000000, 66, 1},                       // the user's own state
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fx_get_online_status_by_id(c.id), c.status) << c.id;
    EXPECT_EQ(fx_is_on_line_by_id(c.id), c.online) << c.id;
    fx_account* a = account(c.id);
    if (a != nullptr) {
      EXPECT_EQ(fx_get_online_status_by_account(a), c.status) << c.id;
      EXPECT_EQ(fx_is_on_line_by_account(a), c.online) << c.id;
    }
  }
  EXPECT_EQ(fx_get_online_status_by_account(nullptr), 0);
  account(100000001)->status = 68;
  EXPECT_EQ(fx_is_on_line_by_id(100000001), 0);
  // A mobile-derived id is never online by id, whatever is stored.
  account(1912345678)->relation_status = 1;
  EXPECT_EQ(fx_is_on_line_by_id(1912345678), 0);
}

TEST_F(Accessors, AuthedBlacklistedAndPcUser) {
  EXPECT_EQ(fx_is_authed_by_id(200000000), 1);  // own id, no account
  EXPECT_EQ(fx_is_authed_by_id(100000001), 1);
  EXPECT_EQ(fx_is_authed_by_id(100000002), 0);
  EXPECT_EQ(fx_is_authed_by_id(100000003), 2);  // the relation status as is
  EXPECT_EQ(fx_is_authed_by_id(555), 0);
  EXPECT_EQ(fx_is_authed_by_account(account(100000002)), 0);
  EXPECT_EQ(fx_is_InBlacklist_by_id(100000004), 1);
  EXPECT_EQ(fx_is_InBlacklist_by_account(account(100000004)), 1);
  EXPECT_EQ(fx_is_InBlacklist_by_account(account(100000001)), 0);
  EXPECT_EQ(fx_is_pc_user_by_account(account(1912345678)), 0);
  EXPECT_EQ(fx_is_pc_user_by_account(account(100000001)), 1);
  EXPECT_EQ(fx_is_pc_user_by_account(nullptr), 0);
}

TEST_F(Accessors, DisplayNameRules) {
  fx_account* a = account(100000001);
  EXPECT_EQ(take(fx_get_account_show_name(a, 1)), "100000001");  // nothing set
  EXPECT_EQ(take(fx_get_account_show_name(account(1912345678), 0)), "13912345678");
  {
    auto lock = EngineContacts::instance().lock();
    a->personal_info = new_record<fx_personal_info>();
    set_text(a->personal_info->impresa, "happy");
  }
  EXPECT_EQ(take(fx_get_account_show_name(a, 1)), "100000001(happy)");
  EXPECT_EQ(take(fx_get_account_show_name(a, 0)), "100000001");
  set_text(a->personal_info->name, "Real Name");
  EXPECT_EQ(take(fx_get_account_show_name(a, 1)), "Real Name(happy)");
  set_text(a->personal_info->nickname, "Nick");
  EXPECT_EQ(take(fx_get_account_show_name(a, 1)), "Nick(happy)");
  set_text(a->local_name, "");  // empty counts as absent
  EXPECT_EQ(take(fx_get_account_show_name(a, 0)), "Nick");
  set_text(a->local_name, "Mine");
  EXPECT_EQ(take(fx_get_account_show_name(a, 1)), "Mine(happy)");
  set_text(a->personal_info->impresa, "");
  EXPECT_EQ(take(fx_get_account_show_name(a, 1)), "Mine");
  EXPECT_EQ(fx_get_account_show_name(nullptr, 1), nullptr);
}

TEST_F(Accessors, GroupIdFromBuddyListsText) {
  struct {
    const char* text;
    int group;
  } cases[] = {{"3;5", 3}, {"12", 12}, {"", -1}, {nullptr, -1}, {"x", 0}, {"0", 0}};
  fx_account* a = account(100000001);
  for (const auto& c : cases) {
    set_text(a->buddy_lists, c.text);
    EXPECT_EQ(fx_get_account_group_id(a), c.group) << (c.text ? c.text : "(null)");
  }
  EXPECT_EQ(fx_get_account_group_id(nullptr), -1);
}

TEST_F(Accessors, IterationThroughTheExportedCursor) {
  std::vector<long> seen;
  fx_lock_contacts();
  for (fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a)) seen.push_back(a->id);
  fx_unlock_contacts();
  EXPECT_EQ(seen, (std::vector<long>{100000001, 100000002, 100000003, 100000004, 1912345678}));
  fx_account* last = account(1912345678);
  EXPECT_EQ(fx_get_next_account(last), nullptr);  // search path
  fx_get_first_account();
  EXPECT_EQ(fx_get_next_account(account(100000003)), account(100000004));
}

TEST_F(Accessors, MobileLoginAndRefuseDays) {
  fx_account* a = account(100000001);
  EXPECT_EQ(fx_islogin_by_mobile(a), 0);
  set_text(a->device_type, "PC");
  EXPECT_EQ(fx_islogin_by_mobile(a), 0);
  set_text(a->device_type, "WM");
  EXPECT_EQ(fx_islogin_by_mobile(a), 1);
  EXPECT_EQ(fx_get_refuse_sms_day(a), 0);
  a->personal_info = new_record<fx_personal_info>();
  a->personal_info->refuse_sms_day = 3;
  EXPECT_EQ(fx_get_refuse_sms_day(a), 3);
  EXPECT_EQ(fx_get_refuse_sms_day(nullptr), 0);
}

TEST_F(Accessors, OwnAccount) {
  EXPECT_STREQ(fx_get_usr_uid(), "200000000");
  EXPECT_STREQ(fx_get_usr_passwd(), "secret");
  EXPECT_EQ(fx_get_usr_uri(), nullptr);
  EXPECT_EQ(fx_get_usr_mobilenum(), nullptr);
  EXPECT_EQ(fx_get_user_state(), 66);
  EXPECT_STREQ(fx_get_usr_show_name(), "200000000");
  EXPECT_EQ(fx_data_get_PersonalInfo(), nullptr);
  EXPECT_EQ(fx_get_user_refuse_sms_day(), 0);
  fx_user& u = EngineContacts::instance().user();
  u.personal_info = new_record<fx_personal_info>();
  set_text(u.personal_info->name, "Me");
  EXPECT_STREQ(fx_get_usr_show_name(), "Me");
  set_text(u.personal_info->nickname, "Nick");
  EXPECT_STREQ(fx_get_usr_show_name(), "Nick");
  u.personal_info->refuse_sms_day = 4;
  EXPECT_EQ(fx_get_user_refuse_sms_day(), 4);
}

int score_requests = 0;
std::string info_requested;

TEST_F(Accessors, ScoreAndProfileRequestsGoThroughHooks) {
  EXPECT_EQ(fx_get_usr_score(), -1);  // no hook: nothing sent, still -1
  score_requests = 0;
  RequestHooks hooks;
  hooks.request_score = [] { ++score_requests; };
  hooks.request_contact_info = [](const char* uri) {
    info_requested = uri;
    return 1;
  };
  {
    auto lock = EngineContacts::instance().lock();
    EngineContacts::instance().set_hooks(hooks);
  }
  EXPECT_EQ(fx_get_usr_score(), -1);
  EXPECT_EQ(fx_get_usr_score(), -1);
  EXPECT_EQ(score_requests, 2);  // every call while unknown asks again
  EngineContacts::instance().user().score = 40;
  EXPECT_EQ(fx_get_usr_score(), 40);
  EXPECT_EQ(score_requests, 2);

  EXPECT_EQ(fx_update_account_info_by_id(100000001), 1);
  EXPECT_EQ(info_requested, "sip:100000001@x");
  info_requested.clear();
  EXPECT_EQ(fx_update_account_info_by_id(42), 0);
  set_text(account(100000002)->uri, "");
  EXPECT_EQ(fx_update_account_info_by_id(100000002), 0);
  EXPECT_TRUE(info_requested.empty());
}

TEST(ContactListInstall, OwnEntryReportsTheUsersState) {
  EngineReset reset;
  auto& state = EngineContacts::instance();
  {
    auto lock = state.lock();
    state.set_login("200000000", "pw");
    set_text(state.user().uri, "sip:200000000@x;p=1");
    state.user().state = 69;
    auto store = std::make_unique<ContactStore>();
    store->adopt_account(make_account("sip:100000001@x"));
    fx_account own_entry{};
    own_entry.id = state.user().user_id;
    own_entry.uri = state.user().uri;
    store->add_account(own_entry);
    state.install(std::move(store));
  }
  fx_lock_contacts();
  std::vector<long> ids;
  for (fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a)) ids.push_back(a->id);
  fx_unlock_contacts();
  EXPECT_EQ(ids, (std::vector<long>{100000001, 200000000}));
  fx_account* own = fx_get_account_by_id(200000000);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->kind, 0);
  EXPECT_STREQ(own->uri, "sip:200000000@x;p=1");
  EXPECT_NE(own->uri, state.user().uri);                // a copy
  EXPECT_EQ(fx_get_online_status_by_account(own), 69);  // the user's own state
  EXPECT_EQ(fx_is_on_line_by_id(200000000), 1);
}

TEST(ContactListInstall, ScheduledSmsFollowTheNewStore) {
  EngineReset reset;
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  auto first = std::make_unique<ContactStore>();
  fx_account* old_a = first->adopt_account(make_account("sip:100000001@x"));
  first->adopt_account(make_account("sip:100000002@x"));
  state.install(std::move(first));
  ScheduleSmsPtr sms(new_record<fx_schedule_sms>());
  sms->id = 5;
  ChainBuilder receivers;
  receivers.append(old_a);
  receivers.append(state.store()->account_by_id(100000002));
  sms->receivers = receivers.release();
  OwnedChain<fx_schedule_sms> list;
  list.append(std::move(sms));
  state.user().schedule_list = list.release();

  auto second = std::make_unique<ContactStore>();
  fx_account* new_a = second->adopt_account(make_account("sip:100000001@x"));
  state.install(std::move(second));
  auto* kept = static_cast<fx_schedule_sms*>(state.user().schedule_list->data);
  ASSERT_NE(kept->receivers, nullptr);
  EXPECT_EQ(kept->receivers->data, new_a);    // re-pointed by id
  EXPECT_EQ(kept->receivers->next, nullptr);  // the vanished contact dropped
}

TEST(ContactListInstall, EngineEndFreesUserAndStore) {
  EngineReset reset;
  ASSERT_EQ(fx_init(), 1);
  {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    state.set_login("200000000", "pw");
    auto store = std::make_unique<ContactStore>();
    store->adopt_account(make_account("sip:100000001@x"));
    state.install(std::move(store));
  }
  ASSERT_NE(fx_get_account_by_id(100000001), nullptr);
  fx_terminate();
  EXPECT_EQ(fx_get_account_by_id(100000001), nullptr);
  EXPECT_EQ(fx_get_usr_uid(), nullptr);
}

TEST(AccessorsWithoutData, EverythingIsNullOrZero) {
  EngineReset reset;
  EXPECT_EQ(fx_get_usr_uid(), nullptr);
  EXPECT_EQ(fx_get_usr_show_name(), nullptr);
  EXPECT_EQ(fx_get_user_state(), 0);
  EXPECT_EQ(fx_get_expirestime(), 0);
  EXPECT_EQ(fx_get_group(), nullptr);
  EXPECT_EQ(fx_get_blacklist(), nullptr);
  EXPECT_EQ(fx_get_qun(), nullptr);
  EXPECT_EQ(fx_get_first_account(), nullptr);
  EXPECT_EQ(fx_get_account_by_id(100000001), nullptr);
  EXPECT_EQ(fx_get_qun_by_id(123456), nullptr);
  EXPECT_EQ(fx_get_online_status_by_id(100000001), 0);
  EXPECT_EQ(fx_is_authed_by_id(0), 0);  // no login: id 0 is nobody's
  fx_account a{};
  EXPECT_EQ(fx_get_next_account(&a), nullptr);
}

TEST(QunShowName, NameWhenKnownElseNumber) {
  fx_qun q{};
  q.id = 123456;
  EXPECT_EQ(take(fx_get_qun_show_name(&q)), "123456");
  fx_qun_info info{};
  q.info = &info;
  EXPECT_EQ(take(fx_get_qun_show_name(&q)), "123456");
  info.name = const_cast<char*>("Chess club");
  EXPECT_EQ(take(fx_get_qun_show_name(&q)), "Chess club");
  EXPECT_EQ(fx_get_qun_show_name(nullptr), nullptr);
}

}  // namespace
