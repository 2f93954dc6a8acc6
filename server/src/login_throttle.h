// LoginThrottle: slows password guessing. Wrong digest answers are counted
// per account and per peer address; past a few free ones, each further
// failure locks the key for a time that doubles, up to a cap. The account's
// cap is short and its lock holds only for addresses that never logged in
// to it: while strangers guess at an account, its owner still gets in at
// once from an address it used before. The address's cap is long, so one
// guesser is slowed to a trickle. A success remembers the address (a few
// per account) and, from an address not known before, clears the account's
// count; counts fade after a quiet while. Lookups made before a login (the account behind a
// mobile number) are counted per address like failures, with more free
// ones, so they cannot be used to sweep the numbering plan.
// Event-loop thread only (times are handed in).
#pragma once

#include <chrono>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tavrin::server {

class LoginThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  struct Policy {
    int freeFailures;                // failures before the first lock
    std::chrono::seconds firstLock;  // doubled with every further failure
    std::chrono::seconds maxLock;
  };
  static constexpr Policy kAccount{10, std::chrono::seconds(1), std::chrono::seconds(60)};
  static constexpr Policy kAddress{10, std::chrono::seconds(1), std::chrono::seconds(900)};
  static constexpr Policy kLookup{20, std::chrono::seconds(1), std::chrono::seconds(900)};
  // Failures are forgotten after this long without a failure or a lock.
  static constexpr std::chrono::minutes kForgetAfter{15};
  // Addresses remembered per account (the most recent logins).
  static constexpr size_t kKnownAddresses = 8;

  // How long the account or the address stays locked; zero when a login may be tried.
  Clock::duration lockedFor(long account, uint32_t address, Clock::time_point now) const;
  // A wrong answer; the lock it starts (zero when none).
  Clock::duration failed(long account, uint32_t address, Clock::time_point now);
  // A wrong answer for an account that does not exist: counted for the address only.
  Clock::duration failedUnknown(uint32_t address, Clock::time_point now);
  void succeeded(long account, uint32_t address);
  // Adds an address the account logged in from earlier (kept elsewhere).
  void remember(long account, uint32_t address);
  // Whether the address has logged in to the account (and so passes its lock).
  bool known(long account, uint32_t address) const;

  // A lookup before login: how long the address must wait first (zero: go
  // ahead, and it is counted).
  Clock::duration lookup(uint32_t address, Clock::time_point now);

  // Drops records that are neither locked nor recent (from the periodic sweep).
  void prune(Clock::time_point now);
  size_t size() const { return accounts_.size() + addresses_.size() + lookups_.size(); }

 private:
  struct Record {
    int failures = 0;
    Clock::time_point lastFailure;
    Clock::time_point lockedUntil;
  };
  static Clock::duration quietSince(const Record& r, Clock::time_point now);
  static Clock::duration remaining(const Record* r, Clock::time_point now);
  static Clock::duration fail(Record& r, const Policy& p, Clock::time_point now);

  std::unordered_map<long, Record> accounts_;
  std::unordered_map<uint32_t, Record> addresses_;
  std::unordered_map<uint32_t, Record> lookups_;
  // Account -> addresses it logged in from, the most recent last.
  std::unordered_map<long, std::vector<uint32_t>> knownAddresses_;
};

}  // namespace tavrin::server
