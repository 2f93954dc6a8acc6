#include "large_account.h"

#include <string>

#include "sqlite_db.h"
#include "store.h"

namespace tavrin::bench {

void seed_large_account(tavrin::server::Store& store) {
  seed_account_with(store, kContacts);
}

void seed_account_with(tavrin::server::Store& store, int contacts) {
  tavrin::server::Db& db = store.db();
  tavrin::server::Transaction tx(db);
  for (long n = kOwner; n <= kOwner + contacts; ++n) {
    tavrin::server::Account a;
    a.number = n;
    a.nickname = "user" + std::to_string(n - kOwner);
    a.impresa = "mood of " + std::to_string(n);
    store.putAccount(a, "bench");
  }
  for (int l = 1; l <= kLists; ++l)
    db.sql("INSERT INTO buddy_lists(owner, id, name) VALUES(?,?,?)")
        .bind(1, kOwner)
        .bind(2, l)
        .bind(3, "list " + std::to_string(l))
        .run();
  for (int i = 1; i <= contacts; ++i)
    db.sql(
          "INSERT INTO buddies(owner, buddy, local_name, lists, relation, online_notify) "
          "VALUES(?,?,?,?,1,1)")
        .bind(1, kOwner)
        .bind(2, kOwner + i)
        .bind(3, "friend " + std::to_string(i))
        .bind(4, std::to_string(i % kLists + 1))
        .run();
  for (int g = 1; g <= kGroups; ++g) {
    const long id = 500000 + g;
    db.sql(
          "INSERT INTO groups(id, name, introduce, bulletin, category, version) "
          "VALUES(?,?,?,?,1,1)")
        .bind(1, id)
        .bind(2, "group " + std::to_string(g))
        .bind(3, "intro")
        .bind(4, "bulletin")
        .run();
    for (int m = 0; m < kMembers; ++m)
      db.sql("INSERT INTO group_members(grp, member, identity) VALUES(?,?,?)")
          .bind(1, id)
          .bind(2, m == 0 ? kOwner : kOwner + g * kMembers + m)
          .bind(3, m == 0 ? 1 : 3)
          .run();
  }
}

}  // namespace tavrin::bench
