// The send queue with a caller that sends its own text when nothing is
// queued: what the driver leaves goes to the worker, texts never interleave
// on the wire, and each thread's texts keep their order.
#include "frame/send_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "frame/net_driver.h"
#include "frame/waker.h"

using namespace tavrin;

namespace {

// A wire that takes a varying share of each send: everything, a few bytes
// or nothing, in turn. It notes when two threads send at once, which a
// socket would turn into interleaved bytes.
struct FakeWire {
  std::mutex mu;
  std::string bytes;
  std::atomic<unsigned> turn{0};
  std::atomic<int> senders{0};
  std::atomic<bool> overlapped{false};

  int take(const char* text, int len) {
    if (senders.fetch_add(1) != 0) overlapped = true;
    std::this_thread::yield();  // a real send takes a while too
    const unsigned t = turn.fetch_add(1);
    const int n = t % 3 == 0 ? len : t % 3 == 1 ? std::min(len, 3) : 0;
    {
      std::lock_guard lock(mu);
      bytes.append(text, size_t(n));
    }
    senders.fetch_sub(1);
    return n;
  }
  void reset() {
    std::lock_guard lock(mu);
    bytes.clear();
    turn = 0;
    overlapped = false;
  }
};
FakeWire g_wire;

int wire_send(const char* text, int len) {
  return g_wire.take(text, len);
}

NetDriver driver_with(int (*try_send)(const char*, int)) {
  NetDriver d{};
  d.send = wire_send;
  d.try_send = try_send;
  return d;
}

void flush_all(SendQueue& queue, const NetDriver& driver) {
  while (!queue.empty()) queue.flush(driver);
}

}  // namespace

TEST(SendQueue, ACallersTextGoesOutAtOnceAndWhatIsLeftGoesToTheWorker) {
  g_wire.reset();
  Waker waker;
  SendQueue queue(waker);
  const NetDriver driver = driver_with(wire_send);

  queue.push("first", driver);  // turn 0: taken whole on this thread
  EXPECT_TRUE(queue.empty());
  EXPECT_FALSE(waker.wait(0));   // the worker had nothing to do
  queue.push("second", driver);  // turn 1: 3 bytes, the rest queued
  EXPECT_EQ(queue.size(), 1u);
  EXPECT_TRUE(waker.wait(0));
  waker.drain();
  queue.push("third", driver);  // queued behind: the caller does not jump it
  flush_all(queue, driver);
  EXPECT_EQ(g_wire.bytes, "firstsecondthird");

  const NetDriver worker_only = driver_with(nullptr);
  queue.push("fourth", worker_only);
  EXPECT_EQ(queue.size(), 1u);
  flush_all(queue, driver);
  EXPECT_EQ(g_wire.bytes, "firstsecondthirdfourth");
}

TEST(SendQueue, TextsFromManyThreadsArriveWholeAndInEachThreadsOrder) {
  g_wire.reset();
  Waker waker;
  SendQueue queue(waker);
  const NetDriver driver = driver_with(wire_send);
  constexpr int kThreads = 4, kTexts = 400;

  std::atomic<bool> done{false};
  std::thread worker([&] {
    while (!done.load() || !queue.empty()) {
      queue.flush(driver);
      waker.wait(1);
      waker.drain();
    }
  });
  std::vector<std::thread> callers;
  for (int t = 0; t < kThreads; ++t)
    callers.emplace_back([&, t] {
      for (int i = 0; i < kTexts; ++i)
        queue.push("<" + std::to_string(t) + ":" + std::to_string(i) + ">\n", driver);
    });
  for (auto& c : callers) c.join();
  done = true;
  worker.join();
  EXPECT_FALSE(g_wire.overlapped) << "two threads sent at once";

  std::istringstream lines(g_wire.bytes);
  std::map<int, int> next;
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    int t = -1, i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "<%d:%d>", &t, &i), 2) << "torn text: " << line;
    ASSERT_EQ(i, next[t]++) << "thread " << t << " out of order";
    ++count;
  }
  EXPECT_EQ(count, kThreads * kTexts);
}
