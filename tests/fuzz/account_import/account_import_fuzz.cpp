// Imports arbitrary bytes as a CSV file of accounts into an in-memory store
// that already holds accounts, and checks that every created account is
// there and every refused line has a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "admin/account_csv.h"

using namespace tavrin::server;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Store* store = [] {
    auto* s = new Store(":memory:", "tavrin.local");
    Account a;
    a.number = 100000001;
    a.mobile = "13900000001";
    a.nickname = "Alice";
    s->putAccount(a, "alice123");
    return s;
  }();
  const std::string_view csv(reinterpret_cast<const char*>(data), size);
  (void)readCsv(csv);
  const ImportReport r = importAccounts(*store, csv);
  for (const auto& c : r.created)
    if (!store->account(c.number)) std::abort();
  for (const auto& x : r.refused)
    if (x.reason.empty() || x.line < 1) std::abort();
  // The next input starts from the same accounts.
  for (const auto& c : r.created) store->removeAccount(c.number);
  return 0;
}
