#include "demo_seed.h"

#include <string>
#include <vector>

#include "uri.h"

namespace tavrin::server {

namespace {

struct DemoUser {
  long number;
  const char* mobile;
  const char* password;
  const char* nickname;
  const char* impresa;
  const char* name;
  int gender;
};

const DemoUser kUsers[] = {
    {100000001, "13900000001", "alice123", "Alice", "在线聊天中", "Alice Wang", 2},
    {100000002, "13900000002", "bob123", "Bob", "Working on the train", "Bob Li", 1},
    {100000003, "13900000003", "carol123", "Carol", "", "Carol Zhang", 2},
    {100000004, "13900000004", "dave123", "Dave", "Hiking this weekend", "Dave Chen", 1},
    {100000005, "13900000005", "erin123", "Erin", "", "Erin Liu", 2},
    {100000006, "13900000006", "frank123", "Frank", "Back on Monday", "Frank Zhao", 1},
    {100000007, "13900000007", "mallory123", "Mallory", "", "Mallory", 1},
    {kEchoNumber, "13900000009", "echo123", "Echo", "I repeat every line and nudge", "Echo", 0},
};

void buddy(Db& db, long owner, long other, const char* localName, const char* lists) {
  db.sql(
        "INSERT OR REPLACE INTO buddies(owner, buddy, local_name, lists, relation, online_notify) "
        "VALUES(?,?,?,?,1,1)")
      .bind(1, owner)
      .bind(2, other)
      .bind(3, localName)
      .bind(4, lists)
      .run();
}

void mutual(Db& db, long a, long b, const char* listOfA, const char* listOfB) {
  buddy(db, a, b, "", listOfA);
  buddy(db, b, a, "", listOfB);
}

}  // namespace

void seedDemo(Store& store) {
  Db& db = store.db();
  Transaction tx(db);
  for (const DemoUser& u : kUsers) {
    Account a;
    a.number = u.number;
    a.mobile = u.mobile;
    a.nickname = u.nickname;
    a.impresa = u.impresa;
    a.name = u.name;
    a.gender = u.gender;
    a.score = 100 + u.number % 100;
    a.echo = u.number == kEchoNumber;
    store.putAccount(a, u.password);
    for (long list = 1; list <= 2; ++list)
      db.sql("INSERT OR REPLACE INTO buddy_lists(owner, id, name) VALUES(?,?,?)")
          .bind(1, u.number)
          .bind(2, list)
          .bind(3, list == 1 ? "我的好友" : "同事")
          .run();
  }
  // Alice, Bob and Carol are friends; Dave, Erin and Frank are colleagues of Alice's.
  mutual(db, 100000001, 100000002, "1", "1");
  mutual(db, 100000001, 100000003, "1", "1");
  mutual(db, 100000002, 100000003, "1", "1");
  mutual(db, 100000001, 100000004, "2", "2");
  mutual(db, 100000001, 100000005, "2", "2");
  mutual(db, 100000001, 100000006, "2", "2");
  mutual(db, 100000004, 100000005, "1", "1");
  mutual(db, 100000005, 100000006, "1", "1");
  mutual(db, 100000002, 100000006, "2", "2");
  for (const DemoUser& u : kUsers)
    if (u.number != kEchoNumber && u.number != 100000007)
      buddy(db, u.number, kEchoNumber, "Echo", "1");
  // Phones without a Tavrin account.
  auto mobile = [&](long owner, const char* number, const char* name, const char* lists) {
    db.sql(
          "INSERT OR REPLACE INTO mobile_buddies(owner, mobile, local_name, lists, relation) "
          "VALUES(?,?,?,?,1)")
        .bind(1, owner)
        .bind(2, number)
        .bind(3, name)
        .bind(4, lists)
        .run();
  };
  mobile(100000001, "13800138000", "Mum", "1");
  mobile(100000001, "15800000001", "Taxi", "2");
  mobile(100000002, "13700000002", "Home", "1");
  // Alice keeps Mallory out; Mallory asked Bob to be his contact.
  db.sql("INSERT OR REPLACE INTO blacklist(owner, uri, local_name) VALUES(?,?,?)")
      .bind(1, 100000001)
      .bind(2, userUri(100000007, store.domain()))
      .bind(3, "Mallory")
      .run();
  buddy(db, 100000007, 100000002, "Bob", "1");
  db.sql("UPDATE buddies SET relation=0 WHERE owner=? AND buddy=?")
      .bind(1, 100000007)
      .bind(2, 100000002)
      .run();
  db.sql("INSERT OR REPLACE INTO contact_requests(requester, target, descr) VALUES(?,?,?)")
      .bind(1, 100000007)
      .bind(2, 100000002)
      .bind(3, "Mallory")
      .run();
  // Two group chats.
  auto group = [&](long id, const char* name, const char* intro, const char* bulletin,
                   std::vector<long> members) {
    db.sql(
          "INSERT OR REPLACE INTO groups(id, name, introduce, bulletin, category, version) "
          "VALUES(?,?,?,?,1,1)")
        .bind(1, id)
        .bind(2, name)
        .bind(3, intro)
        .bind(4, bulletin)
        .run();
    bool first = true;
    for (long m : members) {
      db.sql("INSERT OR REPLACE INTO group_members(grp, member, identity) VALUES(?,?,?)")
          .bind(1, id)
          .bind(2, m)
          .bind(3, first ? 1 : 3)
          .run();
      first = false;
    }
  };
  group(123456, "Tavrin fans", "Everything about Tavrin", "Welcome!",
        {100000001, 100000002, 100000003, kEchoNumber});
  group(234567, "Hiking club", "Weekend walks", "Saturday 8:00 at the station",
        {100000004, 100000001, 100000005, 100000006});
}

void seedBenchAccounts(Store& store, long count) {
  Transaction tx(store.db());
  for (long i = 1; i <= count; ++i) {
    Account a;
    a.number = 200000000 + i;
    a.nickname = "bench" + std::to_string(i);
    store.putAccount(a, "bench");
  }
}

}  // namespace tavrin::server
