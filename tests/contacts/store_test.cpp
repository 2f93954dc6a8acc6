// The contact store: copy and order rules, O(1) indexes kept right through
// removals, the single iteration cursor.
#include <gtest/gtest.h>

#include <vector>

#include "roster/contact_store.h"
#include "test_records.h"

using namespace tavrin::contacts;
using namespace tavrin::contacts::testing;

namespace {

std::vector<long> account_ids(const ContactStore& s) {
  std::vector<long> ids;
  for (fx_list* n = s.accounts; n; n = n->next)
    ids.push_back(static_cast<fx_account*>(n->data)->id);
  return ids;
}

TEST(ContactStore, AddAccountCopiesReplacesSameIdAndCounts) {
  ContactStore s;
  AccountPtr src = make_account("sip:100000001@x", 1, "Ann", "3");
  src->personal_info = new_record<fx_personal_info>();
  fx_account* stored = s.add_account(*src);
  EXPECT_NE(stored, src.get());
  EXPECT_NE(stored->uri, src->uri);  // texts duplicated
  EXPECT_STREQ(stored->local_name, "Ann");
  EXPECT_EQ(stored->personal_info, nullptr);  // personal info never copied
  s.add_account(*make_account("sip:100000002@x"));
  s.add_account(*make_account("sip:100000001@x", 1, "Ann again"));
  EXPECT_EQ(account_ids(s), (std::vector<long>{100000002, 100000001}));
  EXPECT_STREQ(s.account_by_id(100000001)->local_name, "Ann again");
  EXPECT_EQ(s.account_count, 3);  // every addition counts
  EXPECT_TRUE(s.remove_account(100000002));
  EXPECT_FALSE(s.remove_account(100000002));
  EXPECT_EQ(s.account_count, 3);
}

TEST(ContactStore, IndexStaysRightThroughRemovalsAtEveryPosition) {
  ContactStore s;
  for (long id = 100000001; id <= 100000006; ++id) {
    std::string uri = "sip:" + std::to_string(id) + "@x";
    s.adopt_account(make_account(uri.c_str()));
  }
  // Remove a middle, the head, the tail, then neighbours of removed ones.
  for (long id : {100000003L, 100000001L, 100000006L, 100000004L, 100000002L}) {
    ASSERT_TRUE(s.remove_account(id));
    EXPECT_EQ(s.account_by_id(id), nullptr);
  }
  EXPECT_EQ(account_ids(s), (std::vector<long>{100000005}));
  s.adopt_account(make_account("sip:100000007@x"));
  s.adopt_account(make_account("sip:100000005@x", 0));  // replaces, goes last
  EXPECT_EQ(account_ids(s), (std::vector<long>{100000007, 100000005}));
  EXPECT_EQ(s.account_by_id(100000005)->relation_status, 0);
  ASSERT_TRUE(s.remove_account(100000005));
  s.adopt_account(make_account("sip:100000008@x"));  // tail pointer still right
  EXPECT_EQ(account_ids(s), (std::vector<long>{100000007, 100000008}));
}

TEST(ContactStore, IdZeroIsKeptButNeverFound) {
  ContactStore s;
  s.adopt_account(make_account("sip:nobody"));
  s.adopt_account(make_account("sip:nobody-else"));
  EXPECT_EQ(account_ids(s), (std::vector<long>{0, 0}));
  EXPECT_EQ(s.account_by_id(0), nullptr);
  EXPECT_FALSE(s.remove_account(0));
  s.adopt_blocked(make_blocked("junk"));
  EXPECT_FALSE(s.blacklisted(0));
}

TEST(ContactStore, GroupsBlacklistAndQunsByIdWithDuplicates) {
  ContactStore s;
  fx_group g{3, const_cast<char*>("Friends")};
  s.add_group(g);
  s.add_group(fx_group{5, const_cast<char*>("Work")});
  EXPECT_STREQ(s.group_by_id(5)->name, "Work");
  EXPECT_TRUE(s.remove_group(3));
  EXPECT_EQ(s.group_by_id(3), nullptr);
  EXPECT_FALSE(s.remove_group(3));

  s.adopt_blocked(make_blocked("sip:100000001@x"));
  s.adopt_blocked(make_blocked("sip:100000001@x"));  // a duplicate the server sent
  EXPECT_TRUE(s.remove_blocked(100000001));
  EXPECT_TRUE(s.blacklisted(100000001));  // the second entry is found next
  EXPECT_TRUE(s.remove_blocked(100000001));
  EXPECT_FALSE(s.blacklisted(100000001));
  EXPECT_EQ(s.blacklist, nullptr);

  OwnedChain<fx_qun> quns;
  QunPtr q(new_record<fx_qun>());
  q->id = 123456;
  q->uri = dup_text("sip:PG123456@x");
  quns.append(std::move(q));
  s.set_quns(quns.release());
  ASSERT_NE(s.qun_by_id(123456), nullptr);
  EXPECT_STREQ(s.uri_of(123456), "sip:PG123456@x");
  s.adopt_account(make_account("sip:100000009@x"));
  EXPECT_STREQ(s.uri_of(100000009), "sip:100000009@x");
  EXPECT_EQ(s.uri_of(42), nullptr);
  s.set_quns(nullptr);
  EXPECT_EQ(s.qun_by_id(123456), nullptr);
}

class Cursor : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* uri : {"sip:100000001@x", "sip:100000002@x", "sip:100000003@x"})
      a_.push_back(s_.adopt_account(make_account(uri)));
  }
  ContactStore s_;
  std::vector<fx_account*> a_;
};

TEST_F(Cursor, WalkByCursorEndsWithNullAtTheLast) {
  EXPECT_EQ(s_.first_account(), a_[0]);
  EXPECT_EQ(s_.next_account(a_[0]), a_[1]);
  EXPECT_EQ(s_.next_account(a_[1]), a_[2]);
  EXPECT_EQ(s_.next_account(a_[2]), nullptr);
}

TEST_F(Cursor, InterleavedWalkRestartsBySearch) {
  s_.first_account();
  EXPECT_EQ(s_.next_account(a_[1]), a_[2]);    // cursor on a_[0]: found by search
  EXPECT_EQ(s_.next_account(a_[0]), a_[1]);    // and again
  EXPECT_EQ(s_.next_account(a_[2]), nullptr);  // last, by search
  fx_account stranger{};
  EXPECT_EQ(s_.next_account(&stranger), nullptr);
  EXPECT_EQ(s_.next_account(nullptr), nullptr);
}

TEST_F(Cursor, RemovingTheCursorsContactEndsThatWalk) {
  s_.first_account();
  EXPECT_EQ(s_.next_account(a_[0]), a_[1]);  // cursor on a_[1]
  fx_account* removed = a_[1];
  s_.remove_account(100000002);
  // The stale pointer is compared, never read: the walk just ends.
  EXPECT_EQ(s_.next_account(removed), nullptr);
  EXPECT_EQ(s_.first_account(), a_[0]);
  EXPECT_EQ(s_.next_account(a_[0]), a_[2]);
}

TEST(ContactStore, EmptyStoreWalk) {
  ContactStore s;
  EXPECT_EQ(s.first_account(), nullptr);
}

}  // namespace
