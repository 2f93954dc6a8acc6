#include "frame/timer_table.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "frame/timer_thread.h"

using tavrin::kNoTimerArgument;
using tavrin::kNoTimerHandler;
using tavrin::TimerTable;
using tavrin::TimerThread;
using namespace std::chrono_literals;

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

// The timer thread sleeps through ticks on which nothing falls due, yet every
// timer keeps its count of 10 ms ticks from the moment it was added.

std::set<std::string> thread_ids() {
  std::set<std::string> ids;
  if (DIR* d = opendir("/proc/self/task")) {
    while (const dirent* e = readdir(d))
      if (e->d_name[0] != '.') ids.insert(e->d_name);
    closedir(d);
  }
  return ids;
}

long voluntary_switches(const std::string& tid) {
  std::ifstream status("/proc/self/task/" + tid + "/status");
  std::string key;
  long value = -1;
  while (status >> key)
    if (key == "voluntary_ctxt_switches:" && status >> value) break;
  return value;
}

struct Stamp {
  TimerTable* table = nullptr;
  std::atomic<uint32_t> at{0};
  std::atomic<int> fired{0};
};

int stamp_handler(void* arg) {
  auto* s = static_cast<Stamp*>(arg);
  s->at = s->table->tick_count();
  ++s->fired;
  return 0;
}

TEST(TimerClock, IdleThreadSleepsAndALateTimerCountsFromItsOwnStart) {
  TimerTable t;
  TimerThread thread(t);
  const std::set<std::string> before = thread_ids();
  thread.start();
  std::string tid;
  for (const std::string& id : thread_ids())
    if (!before.count(id)) tid = id;
  ASSERT_FALSE(tid.empty());

  // Nothing to do: the thread stays asleep (a 10 ms sleep loop would wake 50 times).
  const long idle_from = voluntary_switches(tid);
  std::this_thread::sleep_for(500ms);
  EXPECT_LE(voluntary_switches(tid) - idle_from, 3);

  // 50 ticks fell while the thread slept; they are not the new timer's.
  Stamp s{&t};
  const uint32_t added_at = t.tick_count();
  EXPECT_GE(added_at, 40u);
  ASSERT_EQ(t.add(1, 1, 10, stamp_handler, &s), 1);
  for (int i = 0; i < 500 && s.fired == 0; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(s.fired, 1);
  EXPECT_GE(s.at - added_at, 10u);
  EXPECT_FALSE(t.contains(1, 1));
  thread.stop();
}

TEST(TimerClock, KeptTimerFiresOnceForEachIntervalItSleptThrough) {
  TimerTable t;
  TimerThread thread(t);
  Probe kept{.result = 1};
  thread.start();
  ASSERT_EQ(t.add(2, 2, 3, probe_handler, &kept), 1);
  const uint32_t from = t.tick_count();
  std::this_thread::sleep_for(200ms);
  thread.stop();
  const uint32_t ticks = t.tick_count() - from;
  // Each expiry is its own tick, so a late thread may run fewer, never more.
  EXPECT_GE(kept.fired, 2);
  EXPECT_LE(uint32_t(kept.fired), ticks / 3 + 1);
}

}  // namespace
