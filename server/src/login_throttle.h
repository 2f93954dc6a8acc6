// LoginThrottle: slows password guessing. Wrong digest answers are counted
// per account and per peer address; past a few free ones, each further
// failure locks the key for a time that doubles, up to a cap. The account's
// cap is short, so a stranger cannot keep its owner out for long; the
// address's cap is long, so one guesser is slowed to a trickle. A success
// clears the account's count; an address's count fades after a quiet
// while. Event-loop thread only (times are handed in).
#pragma once

#include <chrono>
#include <cstdint>
#include <unordered_map>

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
  // Failures are forgotten after this long without a failure or a lock.
  static constexpr std::chrono::minutes kForgetAfter{15};

  // How long the account or the address stays locked; zero when a login may be tried.
  Clock::duration lockedFor(long account, uint32_t address, Clock::time_point now) const;
  // A wrong answer; the lock it starts (zero when none).
  Clock::duration failed(long account, uint32_t address, Clock::time_point now);
  void succeeded(long account);
  // Drops records that are neither locked nor recent (from the periodic sweep).
  void prune(Clock::time_point now);
  size_t size() const { return accounts_.size() + addresses_.size(); }

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
};

}  // namespace tavrin::server
