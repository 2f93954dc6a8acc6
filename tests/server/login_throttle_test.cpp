// The password-guessing throttle on its own, with a clock of the test's.
#include "login_throttle.h"

#include <gtest/gtest.h>

using namespace tavrin::server;
using std::chrono::seconds;
using Clock = LoginThrottle::Clock;

namespace {

constexpr long kAlice = 100000001;
constexpr uint32_t kHome = 0x7f000001, kElsewhere = 0x0a000001;

TEST(LoginThrottleTest, LocksGrowFromOneSecondAfterTheFreeFailures) {
  LoginThrottle t;
  Clock::time_point now{};
  for (int i = 0; i < LoginThrottle::kAccount.freeFailures; ++i)
    EXPECT_EQ(t.failed(kAlice, kHome, now), Clock::duration::zero()) << "failure " << i;
  EXPECT_EQ(t.lockedFor(kAlice, kHome, now), Clock::duration::zero());
  // Each failure after a lock ran out doubles the next one.
  for (seconds expected : {seconds(1), seconds(2), seconds(4), seconds(8)}) {
    EXPECT_EQ(t.failed(kAlice, kHome, now), expected);
    EXPECT_EQ(t.lockedFor(kAlice, kHome, now), expected);
    EXPECT_EQ(t.lockedFor(kAlice + 1, kHome, now), expected) << "the address is locked too";
    EXPECT_EQ(t.lockedFor(kAlice, kElsewhere, now), expected) << "and the account";
    now += expected;
    EXPECT_EQ(t.lockedFor(kAlice, kHome, now), Clock::duration::zero());
  }
}

TEST(LoginThrottleTest, AStrangerCannotLockAnAccountForLong) {
  LoginThrottle t;
  Clock::time_point now{};
  // Guesses from ever new addresses: only the account's own count grows.
  Clock::duration longest{};
  for (uint32_t i = 0; i < 40; ++i) {
    longest = std::max(longest, t.failed(kAlice, kElsewhere + i, now));
    now += t.lockedFor(kAlice, kElsewhere + i, now);
  }
  EXPECT_EQ(longest, LoginThrottle::kAccount.maxLock);
  // The guesser's own address is held far longer.
  LoginThrottle one;
  for (int i = 0; i < 40; ++i) {
    one.failed(kAlice + i, kHome, now);
    now += one.lockedFor(kAlice + i, kHome, now);
  }
  EXPECT_EQ(one.lockedFor(kAlice + 100, kHome, now), Clock::duration::zero());
  EXPECT_EQ(one.failed(kAlice + 100, kHome, now), LoginThrottle::kAddress.maxLock);
}

TEST(LoginThrottleTest, SuccessClearsTheAccountAndQuietTimeClearsTheAddress) {
  LoginThrottle t;
  Clock::time_point now{};
  for (int i = 0; i <= LoginThrottle::kAccount.freeFailures; ++i) t.failed(kAlice, kHome, now);
  now += seconds(1);
  t.succeeded(kAlice, kHome);
  EXPECT_EQ(t.failed(kAlice, kElsewhere, now), Clock::duration::zero())
      << "the owner's login started the account's count again";
  EXPECT_EQ(t.failed(kAlice + 1, kHome, now), seconds(2)) << "the address keeps its count";

  now += seconds(2) + LoginThrottle::kForgetAfter;  // the lock's end, then the quiet time
  EXPECT_EQ(t.failed(kAlice + 1, kHome, now), Clock::duration::zero()) << "forgotten";
  t.prune(now + LoginThrottle::kForgetAfter);
  EXPECT_EQ(t.size(), 0u);
}

// Strangers from many addresses keep the account locked for themselves,
// never for an address its owner logged in from; that address is still
// held by its own count, and guessing from new addresses is as slow as ever.
TEST(LoginThrottleTest, TheOwnersAddressPassesTheAccountsLock) {
  LoginThrottle t;
  Clock::time_point now{};
  t.succeeded(kAlice, kHome);
  for (uint32_t i = 0; i < 50; ++i) t.failed(kAlice, kElsewhere + i, now);
  EXPECT_EQ(t.lockedFor(kAlice, kElsewhere + 99, now), LoginThrottle::kAccount.maxLock);
  EXPECT_EQ(t.lockedFor(kAlice, kHome, now), Clock::duration::zero());
  EXPECT_EQ(t.lockedFor(kAlice + 1, kHome, now), Clock::duration::zero()) << "another account";
  EXPECT_FALSE(t.known(kAlice + 1, kHome));
  // The owner's address guessing wrong is held by the address's own lock.
  for (int i = 0; i <= LoginThrottle::kAddress.freeFailures; ++i) t.failed(kAlice, kHome, now);
  EXPECT_EQ(t.lockedFor(kAlice, kHome, now), seconds(1));

  // Only the most recent addresses are remembered.
  LoginThrottle few;
  for (uint32_t i = 0; i <= LoginThrottle::kKnownAddresses; ++i) few.succeeded(kAlice, kElsewhere + i);
  EXPECT_FALSE(few.known(kAlice, kElsewhere));
  EXPECT_TRUE(few.known(kAlice, kElsewhere + 1));
}

// Lookups before login: free ones, then a wait that doubles, per address;
// a login from the address starts its count again.
TEST(LoginThrottleTest, LookupsAreSlowedPerAddress) {
  LoginThrottle t;
  Clock::time_point now{};
  for (int i = 0; i <= LoginThrottle::kLookup.freeFailures; ++i)
    EXPECT_EQ(t.lookup(kHome, now), Clock::duration::zero()) << i;
  EXPECT_EQ(t.lookup(kHome, now), seconds(1));
  EXPECT_EQ(t.lookup(kElsewhere, now), Clock::duration::zero()) << "another address";
  now += seconds(1);
  EXPECT_EQ(t.lookup(kHome, now), Clock::duration::zero());
  EXPECT_EQ(t.lookup(kHome, now), seconds(2));
  t.succeeded(kAlice, kHome);
  EXPECT_EQ(t.lookup(kHome, now), Clock::duration::zero());
}

}  // namespace
