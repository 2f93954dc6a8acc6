// Which waiting connection gives up its place when room is needed.
#include "pending_slots.h"

#include <gtest/gtest.h>

using namespace tavrin::server;

namespace {

constexpr uint32_t kUser = 0x7f000001, kFloodA = 0x7f000002, kFloodB = 0x7f000003;

// Silent ones go before any that began a login, the busiest address gives
// one up first, and within an address the oldest goes.
TEST(PendingSlotsTest, SilentFirstThenTheBusiestAddressOldestFirst) {
  PendingSlots p;
  p.add(1, kUser);    // a login under way
  p.add(2, kFloodA);  // the flood: silent
  p.add(3, kFloodA);
  p.add(4, kFloodB);
  p.add(5, kUser);  // a login that has not spoken yet
  p.begin(1);
  EXPECT_EQ(p.victim(), 2u) << "kFloodA holds the most";
  p.remove(2);
  // Now kUser holds two and each flood address one: kUser's silent one goes.
  EXPECT_EQ(p.victim(), 5u);
  p.begin(5);
  const auto v = p.victim();
  ASSERT_TRUE(v);
  EXPECT_TRUE(*v == 3u || *v == 4u) << "a silent one, never a login under way";
  p.remove(3);
  p.remove(4);
  EXPECT_EQ(p.victim(), 1u) << "no silent one left: the oldest login of the busiest address";

  EXPECT_EQ(p.victimAt(kUser), 1u);
  p.add(6, kUser);
  EXPECT_EQ(p.victimAt(kUser), 6u) << "within an address, a silent one first";
  EXPECT_EQ(p.countAt(kUser), 3u);
  EXPECT_EQ(p.addressOf(6), kUser);
  for (uint64_t id : {1u, 5u, 6u}) p.remove(id);
  EXPECT_TRUE(p.empty());
  EXPECT_FALSE(p.victim());
  EXPECT_FALSE(p.victimAt(kUser));
}

// A flood of silent newcomers from a few addresses, each making room for
// itself: the logins from another address keep their places throughout.
TEST(PendingSlotsTest, AFloodNeverTakesTheSlotsOfLoginsFromElsewhere) {
  PendingSlots p;
  constexpr size_t kMax = 256;
  uint64_t next = 1;
  std::vector<uint64_t> logins;
  for (int i = 0; i < 25; ++i) {
    logins.push_back(next);
    p.add(next++, kUser);
  }
  for (int i = 0; i < 20000; ++i) {
    while (p.size() >= kMax) p.remove(*p.victim());
    p.add(next++, kFloodA + uint32_t(i % 8));
  }
  for (uint64_t id : logins) EXPECT_EQ(p.addressOf(id), kUser) << id;
  EXPECT_EQ(p.size(), kMax);
}

}  // namespace
