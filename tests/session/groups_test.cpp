// Group chats end to end: the list, the group presence (names), member
// lists, and the invitations the login sends.
#include "contacts/groups.h"

#include <string>

#include "engine_fixture.h"
#include "session/session.h"
#include "sqlite_db.h"
#include "store.h"
#include "test_server.h"

namespace tavrin::test {
namespace {

using std::chrono::milliseconds;
using Codes = std::vector<int>;

constexpr long kFans = 123456;
constexpr long kHiking = 234567;

int members_of(long qun_id) {
  fx_lock_contacts();
  const fx_qun* q = fx_get_qun_by_id(qun_id);
  int n = -1;
  if (q && q->info) {
    n = 0;
    for (const fx_list* m = q->info->members; m; m = m->next) ++n;
  }
  fx_unlock_contacts();
  return n;
}

std::string show_name(long qun_id) {
  fx_lock_contacts();
  char* name = fx_get_qun_show_name(fx_get_qun_by_id(qun_id));
  fx_unlock_contacts();
  std::string s = name ? name : "";
  free(name);
  return s;
}

class GroupsTest : public EngineTest {};

TEST_F(GroupsTest, NoGroupChatMeansNoSubscriptionAndNoMemberRequest) {
  TestServer server;  // Mallory belongs to no group chat
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000007", "mallory123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  EXPECT_EQ(rec.login_codes(), (Codes{1, 2, 8, 11, 14}));
  EXPECT_EQ(fx_get_qun(), nullptr);
  EXPECT_EQ(session().qun_call.load(), 0);
  const std::string log = server.log();
  EXPECT_NE(log.find("N=PGGetGroupList"), std::string::npos);
  EXPECT_EQ(log.find("N=PGPresence"), std::string::npos);
  EXPECT_EQ(log.find("N=PGGetGroupMembers"), std::string::npos);
}

TEST_F(GroupsTest, ListPresenceMembersAndInvitationsAtLogin) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  ASSERT_NE(fx_get_qun_by_id(kFans), nullptr);
  ASSERT_NE(fx_get_qun_by_id(kHiking), nullptr);
  // Group presence names the groups; the member answers fill their lists.
  EXPECT_TRUE(eventually([] { return show_name(kFans) == "Tavrin fans"; }));
  EXPECT_EQ(show_name(kHiking), "Hiking club");
  EXPECT_TRUE(eventually([] { return members_of(kFans) == 4 && members_of(kHiking) == 4; }));
  // The login opened each group's dialog; its results reach the login's callback.
  EXPECT_TRUE(rec.wait_for(FX_MSG_DIALOG_OPEN, milliseconds(5000), kFans));
  EXPECT_TRUE(rec.wait_for(FX_MSG_DIALOG_OPEN, milliseconds(5000), kHiking));
}

TEST_F(GroupsTest, MemberAnswerReplacesTheList) {
  TestServer server;
  ASSERT_EQ(fx_set_serve_address(server.sipcAddress().c_str()), 1);
  Recorder& rec = recorder();
  ASSERT_EQ(fx_login("100000001", "alice123", Recorder::callback, &rec), 1);
  ASSERT_TRUE(rec.wait_for(FX_MSG_LOGIN_OK));
  ASSERT_TRUE(eventually([] { return members_of(kFans) == 4; }));
  {
    tavrin::server::Db db(server.dbPath());
    db.sql("DELETE FROM group_members WHERE grp=123456 AND member=100000003").run();
  }
  contacts::request_qun_members(kFans);
  EXPECT_TRUE(eventually([] { return members_of(kFans) == 3; }));
  fx_lock_contacts();
  for (const fx_list* m = fx_get_qun_by_id(kFans)->info->members; m; m = m->next)
    EXPECT_NE(static_cast<const fx_qun_member*>(m->data)->id, 100000003);
  fx_unlock_contacts();
}

}  // namespace
}  // namespace tavrin::test
