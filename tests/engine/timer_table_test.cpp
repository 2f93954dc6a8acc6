#include "frame/timer_table.h"

#include <gtest/gtest.h>

#include <vector>

using tavrin::kNoTimerArgument;
using tavrin::kNoTimerHandler;
using tavrin::TimerTable;

namespace {

struct Probe {
  int fired = 0;
  int result = 0;  // handler result: 0 removes the timer
  std::vector<int>* log = nullptr;
  int id = 0;
};

int probe_handler(void* arg) {
  auto* p = static_cast<Probe*>(arg);
  ++p->fired;
  if (p->log) p->log->push_back(p->id);
  return p->result;
}

TEST(TimerTable, IntervalFourFiresOnFourthPassAndIsGoneBeforeFifth) {
  TimerTable t;
  Probe p;
  ASSERT_EQ(t.add(7, 1, 4, probe_handler, &p), 1);
  for (int pass = 1; pass <= 3; ++pass) {
    t.tick();
    EXPECT_EQ(p.fired, 0) << "pass " << pass;
  }
  t.tick();
  EXPECT_EQ(p.fired, 1);
  EXPECT_FALSE(t.contains(7, 1));
  EXPECT_EQ(t.count(), 0);
  EXPECT_EQ(t.tick_count(), 4u);
}

TEST(TimerTable, KeptTimerFiresEveryInterval) {
  TimerTable t;
  Probe p{.result = 1};
  ASSERT_EQ(t.add(1, 1, 3, probe_handler, &p), 1);
  for (int i = 0; i < 9; ++i) t.tick();
  EXPECT_EQ(p.fired, 3);
  EXPECT_TRUE(t.contains(1, 1));
}

TEST(TimerTable, AddingATakenKeyPairFailsAndLeavesTheRunningTimer) {
  TimerTable t;
  Probe keepalive{.result = 1}, login;
  ASSERT_EQ(t.add(1, 1, 2, probe_handler, &keepalive), 1);
  t.tick();
  EXPECT_EQ(t.add(1, 1, 4, probe_handler, &login), 0);
  t.tick();  // the keep-alive's elapsed count was not reset by the failed add
  EXPECT_EQ(keepalive.fired, 1);
  for (int i = 0; i < 4; ++i) t.tick();
  EXPECT_EQ(keepalive.fired, 3);
  EXPECT_EQ(login.fired, 0);
}

TEST(TimerTable, HoldsAtMost128AndTakesAFullTableAgainAfterClear) {
  TimerTable t;
  for (uint32_t i = 0; i < 128; ++i)
    ASSERT_EQ(t.add(i, 0, 10, kNoTimerHandler, kNoTimerArgument), 1);
  EXPECT_EQ(t.add(500, 0, 10, kNoTimerHandler, kNoTimerArgument), 0);
  EXPECT_EQ(t.count(), 128);
  t.clear();
  EXPECT_EQ(t.count(), 0);
  for (uint32_t i = 0; i < 128; ++i)
    ASSERT_EQ(t.add(i, 9, 10, kNoTimerHandler, kNoTimerArgument), 1);
  EXPECT_EQ(t.add(128, 9, 10, kNoTimerHandler, kNoTimerArgument), 0);
}

TEST(TimerTable, EmptyHandlerTimerStaysAndFiresNothing) {
  TimerTable t;
  ASSERT_EQ(t.add(3, 3, 1, kNoTimerHandler, kNoTimerArgument), 1);
  for (int i = 0; i < 5; ++i) t.tick();
  EXPECT_TRUE(t.contains(3, 3));
}

TEST(TimerTable, RemovingPositionZeroMovesTheLastEntryThereAndItWaitsAPass) {
  TimerTable t;
  std::vector<int> log;
  Probe a{.result = 0, .log = &log, .id = 1};  // position 0, removed when it fires
  Probe b{.result = 1, .log = &log, .id = 2};
  Probe c{.result = 1, .log = &log, .id = 3};
  ASSERT_EQ(t.add(10, 1, 1, probe_handler, &a), 1);
  ASSERT_EQ(t.add(10, 2, 1, probe_handler, &b), 1);
  ASSERT_EQ(t.add(10, 3, 1, probe_handler, &c), 1);
  t.tick();
  // c moved into position 0 after a's removal and was not advanced again;
  // b (position 1) was still advanced in the same pass.
  EXPECT_EQ(log, (std::vector<int>{1, 2}));
  uint32_t k1, k2;
  ASSERT_TRUE(t.key_at(0, &k1, &k2));
  EXPECT_EQ(k2, 3u);
  ASSERT_TRUE(t.key_at(1, &k1, &k2));
  EXPECT_EQ(k2, 2u);
  log.clear();
  t.tick();
  EXPECT_EQ(log, (std::vector<int>{3, 2}));
}

TEST(TimerTable, RemoveTakesEveryTimerWithThePair) {
  TimerTable t;
  ASSERT_EQ(t.add(1, 2, 5, kNoTimerHandler, kNoTimerArgument), 1);
  ASSERT_EQ(t.add(1, 3, 5, kNoTimerHandler, kNoTimerArgument), 1);
  EXPECT_EQ(t.remove(1, 2), 1);
  EXPECT_FALSE(t.contains(1, 2));
  EXPECT_TRUE(t.contains(1, 3));
  EXPECT_EQ(t.remove(9, 9), 1);
}

// A handler that clears the table and adds a new timer under its own key pair
// (a re-login from the timer thread) must not lose the new timer when it
// returns 0 for the old one.
TimerTable* g_table = nullptr;
Probe g_fresh;
int relogin_handler(void*) {
  g_table->clear();
  g_table->add(1, 1, 4, probe_handler, &g_fresh);
  return 0;
}

TEST(TimerTable, HandlerThatClearsAndReAddsItsPairKeepsTheNewTimer) {
  TimerTable t;
  g_table = &t;
  g_fresh = Probe{};
  ASSERT_EQ(t.add(1, 1, 1, relogin_handler, kNoTimerArgument), 1);
  ASSERT_EQ(t.add(2, 2, 1, kNoTimerHandler, kNoTimerArgument), 1);
  t.tick();
  EXPECT_TRUE(t.contains(1, 1));
  EXPECT_EQ(t.count(), 1);
  for (int i = 0; i < 4; ++i) t.tick();
  EXPECT_EQ(g_fresh.fired, 1);
  g_table = nullptr;
}

int self_removing_handler(void*) {
  g_table->remove(5, 5);
  return 1;  // kept, but it is already gone
}

TEST(TimerTable, HandlerThatRemovesItselfIsSafe) {
  TimerTable t;
  g_table = &t;
  Probe other{.result = 1};
  ASSERT_EQ(t.add(5, 5, 1, self_removing_handler, kNoTimerArgument), 1);
  ASSERT_EQ(t.add(6, 6, 1, probe_handler, &other), 1);
  t.tick();
  t.tick();
  EXPECT_FALSE(t.contains(5, 5));
  EXPECT_GE(other.fired, 1);
  g_table = nullptr;
}

}  // namespace
