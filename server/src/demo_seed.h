// The demo world, seeded into an empty store by --demo, and the bench's
// plain accounts (--bench-accounts). See server/README.md for the accounts.
// Called once from main before the loop starts.
#pragma once

#include "store.h"

namespace tavrin::server {

// Tavrin number of the account that answers every chat line and nudge.
constexpr long kEchoNumber = 100000009;

void seedDemo(Store& store);
// Accounts 200000001 .. 200000000+count with password "bench", no contacts.
void seedBenchAccounts(Store& store, long count);

}  // namespace tavrin::server
