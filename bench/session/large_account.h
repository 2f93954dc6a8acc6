// The large account the login benchmarks sign in as: 2,000 contacts in 40
// buddy lists and 5 group chats of 50 members, seeded straight into the
// server's store (a TestServer seed, without the demo world).
#pragma once

namespace tavrin::server {
class Store;
}

namespace tavrin::bench {

inline constexpr long kOwner = 300000000;
inline constexpr char kOwnerLogin[] = "300000000";
inline constexpr char kOwnerPassword[] = "bench";
inline constexpr int kContacts = 2000;
inline constexpr int kLists = 40;
inline constexpr int kGroups = 5;
inline constexpr int kMembers = 50;

void seed_large_account(server::Store& store);
// The same owner with another number of contacts (in the same 40 lists and
// 5 group chats).
void seed_account_with(server::Store& store, int contacts);

}  // namespace tavrin::bench
