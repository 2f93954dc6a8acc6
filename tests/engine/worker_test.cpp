// The worker thread: queued texts reach the driver at once and in order,
// short or refused sends lose nothing, stopping sends what is queued.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "frame/engine.h"
#include "frame/waker.h"
#include "libtavrin.h"
#include "recording_driver.h"

using tavrin::engine;
using tavrin::test::RecordingDriver;
using namespace std::chrono_literals;

namespace {

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordingDriver::reset();
    engine().preset_driver(&RecordingDriver::table());
    ASSERT_EQ(fx_init(), 1);
  }
  void TearDown() override {
    fx_terminate();
    engine().preset_driver(nullptr);
  }
};

TEST_F(WorkerTest, QueuedTextWakesTheWorkerOutOfItsPoll) {
  // The poll never ends by itself here: only the wake-up of push() can get
  // the worker to the send.
  RecordingDriver::poll_ms = -1;
  engine().waker.wake();
  std::this_thread::sleep_for(50ms);
  const std::string text = "R x SIP-C/2.0\r\n\r\n";
  engine().send_queue.push(text);
  EXPECT_TRUE(RecordingDriver::wait_sent(text.size()));
}

TEST_F(WorkerTest, ShortAndRefusedSendsKeepTheRestInOrder) {
  {
    std::lock_guard lock(RecordingDriver::mu);
    RecordingDriver::send_limits = {3, 0};  // 3 bytes, then "would block"
  }
  engine().send_queue.push("ABCDEFGH");
  engine().send_queue.push("IJ");
  ASSERT_TRUE(RecordingDriver::wait_sent(3));
  // The refused send left the text at the front; the next pass (woken by
  // the next push) sends the rest without repeating or losing a byte.
  engine().send_queue.push("KL");
  ASSERT_TRUE(RecordingDriver::wait_sent(12));
  std::lock_guard lock(RecordingDriver::mu);
  EXPECT_EQ(RecordingDriver::sent, "ABCDEFGHIJKL");
}

TEST_F(WorkerTest, NothingIsSentWithoutAConnectionAndAllOnceItComes) {
  RecordingDriver::connected = false;
  std::this_thread::sleep_for(20ms);
  engine().send_queue.push("one");
  engine().send_queue.push("two");
  std::this_thread::sleep_for(150ms);
  {
    std::lock_guard lock(RecordingDriver::mu);
    EXPECT_EQ(RecordingDriver::sends, 0);
  }
  RecordingDriver::connected = true;
  engine().waker.wake();
  ASSERT_TRUE(RecordingDriver::wait_sent(6));
  std::lock_guard lock(RecordingDriver::mu);
  EXPECT_EQ(RecordingDriver::sent, "onetwo");
}

TEST_F(WorkerTest, StoppingSendsWhatIsStillQueued) {
  RecordingDriver::connected = false;
  engine().send_queue.push("logout");
  std::this_thread::sleep_for(20ms);
  RecordingDriver::connected = true;
  fx_terminate();
  std::lock_guard lock(RecordingDriver::mu);
  EXPECT_EQ(RecordingDriver::sent, "logout");
  EXPECT_GE(RecordingDriver::closes.load(), 1);
}

// Threads waking the worker while it drains: every wake is either still
// readable at the next poll or was drained after what it announced had been
// queued, so the worker never sleeps on queued work; and once drained the
// waker is not left readable (a poll that returns at once would spin).
TEST(WakerTest, NoWakeIsLostWhileWakersRaceTheDrain) {
  constexpr int kWakers = 3;
  constexpr long kEach = 20000;
  for (int round = 0; round < 5; ++round) {  // the race needs a few tries to show
    tavrin::Waker waker;
    std::atomic<long> queued{0};
    std::vector<std::thread> wakers;
    for (int t = 0; t < kWakers; ++t)
      wakers.emplace_back([&] {
        for (long i = 0; i < kEach; ++i) {
          queued.fetch_add(1);
          waker.wake();
        }
      });
    long taken = 0;
    bool slept_on_work = false;
    while (taken < kWakers * kEach && !slept_on_work) {
      slept_on_work = !waker.wait(2000);
      waker.drain();
      taken = queued.load();  // the flush after the drain
    }
    for (auto& w : wakers) w.join();
    ASSERT_FALSE(slept_on_work) << "round " << round << ": " << taken << " of " << kWakers * kEach
                                << " taken";
    // One drain leaves nothing readable: the worker's next poll must sleep.
    if (waker.wait(0)) waker.drain();
    ASSERT_FALSE(waker.wait(0)) << "round " << round;
  }
}

}  // namespace
