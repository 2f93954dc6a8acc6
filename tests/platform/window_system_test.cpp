// Messages, sends across threads, nested modal loops, timers, capture and
// input routing of the client's window system.
#include "platform/window_system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

using namespace tavrin::platform;

namespace {

struct Recorder {
  std::vector<Message> seen;
  Handler handler() {
    return [this](const Message& m) -> intptr_t {
      seen.push_back(m);
      return 0;
    };
  }
  int count(uint32_t id) const {
    int n = 0;
    for (auto& m : seen) n += m.id == id;
    return n;
  }
};

WindowId make(WindowSystem& ws, Rect r, Handler h, WindowId parent = 0, std::u16string title = {}) {
  WindowSpec spec;
  spec.rect = r;
  spec.handler = std::move(h);
  spec.parent = parent;
  spec.title = std::move(title);
  return ws.create(std::move(spec));
}

}  // namespace

TEST(WindowSystem, SendFromAnotherThreadWaitsForTheUiThread) {
  WindowSystem ws;
  std::thread::id handled_on;
  std::atomic<bool> handled{false};
  const WindowId w = make(ws, Rect::from_size(0, 52, 480, 800), [&](const Message& m) -> intptr_t {
    if (m.id != 9000) return 0;
    handled_on = std::this_thread::get_id();
    handled = true;
    return intptr_t(m.wparam) + 1;
  });
  intptr_t result = 0;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    result = ws.send(w, 9000, 666, 0);
    // The send may only come back after the handler ran.
    EXPECT_TRUE(handled.load());
    returned = true;
  });
  while (!returned) ws.pump(5);
  worker.join();
  EXPECT_EQ(result, 667);
  EXPECT_EQ(handled_on, std::this_thread::get_id());
}

TEST(WindowSystem, SendToADestroyedWindowReturnsZero) {
  WindowSystem ws;
  const WindowId w = make(ws, {}, [](const Message&) -> intptr_t { return 5; });
  ws.destroy(w);
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    EXPECT_EQ(ws.send(w, 9000, 0, 0), 0);
    returned = true;
  });
  while (!returned) ws.pump(5);
  worker.join();
}

TEST(WindowSystem, PostsFromManyThreadsArriveInOrderPerThread) {
  WindowSystem ws;
  std::vector<int> seen[4];
  const WindowId w = make(ws, {}, [&](const Message& m) -> intptr_t {
    if (m.id == msg::kUser + 16) seen[m.wparam].push_back(int(m.lparam));
    return 0;
  });
  std::vector<std::thread> threads;
  for (uintptr_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) ws.post(w, msg::kUser + 16, t, i);
    });
  for (auto& t : threads) t.join();
  while (ws.pump(0)) {
  }
  for (auto& s : seen) {
    ASSERT_EQ(s.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(s[i], i);
  }
}

TEST(WindowSystem, NestedModalLoopsEndWithTheirCodesAndKeepDispatching) {
  WindowSystem ws;
  Recorder main_rec;
  const WindowId main =
      make(ws, Rect::from_size(0, 52, 480, 800), main_rec.handler(), 0, u"BriskTavrin");
  WindowId outer = 0, inner = 0;
  std::vector<std::string> trace;
  inner = make(ws, Rect::from_size(0, 52, 480, 800), [&](const Message& m) -> intptr_t {
    if (m.id == msg::kUser + 1) {
      trace.push_back("inner ends");
      ws.end_modal(inner, 7);
    }
    return 0;
  });
  outer = make(ws, Rect::from_size(0, 52, 480, 800), [&](const Message& m) -> intptr_t {
    if (m.id == msg::kUser + 1) {
      trace.push_back("outer runs inner");
      // While the inner loop runs, an engine message for the main window
      // must still be handled.
      ws.post(main, msg::kUser + 16, 0, 42);
      ws.post(inner, msg::kUser + 1);
      const int code = ws.run_modal(inner);
      trace.push_back("inner returned " + std::to_string(code));
      EXPECT_EQ(main_rec.count(msg::kUser + 16), 1);
      ws.end_modal(outer, 3);
    }
    return 0;
  });
  ws.post(outer, msg::kUser + 1);
  EXPECT_EQ(ws.run_modal(outer), 3);
  EXPECT_EQ(ws.modal_depth(), 0);
  EXPECT_EQ(trace,
            (std::vector<std::string>{"outer runs inner", "inner ends", "inner returned 7"}));
}

TEST(WindowSystem, ModalLoopEndsWithZeroWhenItsWindowIsDestroyedAndOnQuit) {
  WindowSystem ws;
  WindowId w = 0;
  w = make(ws, {}, [&](const Message& m) -> intptr_t {
    if (m.id == msg::kUser) ws.destroy(w);
    return 0;
  });
  ws.end_modal(w, 9);  // not running yet: no effect
  ws.post(w, msg::kUser);
  EXPECT_EQ(ws.run_modal(w), 0);

  WindowId a = make(ws, {}, nullptr);
  WindowId b = 0;
  b = make(ws, {}, [&](const Message& m) -> intptr_t {
    if (m.id == msg::kUser) ws.quit(5);
    return 0;
  });
  int inner_code = 0;
  ws.set_handler(a, [&](const Message& m) -> intptr_t {
    if (m.id == msg::kUser) {
      ws.post(b, msg::kUser);
      inner_code = ws.run_modal(b);
    }
    return 0;
  });
  ws.post(a, msg::kUser);
  EXPECT_EQ(ws.run_modal(a), WindowSystem::kQuitCode);
  EXPECT_EQ(inner_code, WindowSystem::kQuitCode);
  EXPECT_EQ(ws.quit_code(), 5);
}

TEST(WindowSystem, TimersFireByIdUntilKilled) {
  WindowSystem ws;
  std::map<uintptr_t, int> fired;
  WindowId w = 0;
  w = make(ws, {}, [&](const Message& m) -> intptr_t {
    if (m.id != msg::kTimer) return 0;
    if (++fired[m.wparam] == 3 && m.wparam == 25) ws.kill_timer(w, 25);
    if (fired[20] >= 6) ws.quit(0);
    return 0;
  });
  ws.set_timer(w, 25, 5);
  ws.set_timer(w, 20, 10);
  ws.set_timer(w, 277, 1000000);
  ws.set_timer(w, 277, 1000000);  // re-setting replaces, never duplicates
  ws.run();
  EXPECT_EQ(fired[25], 3);
  EXPECT_EQ(fired[20], 6);
  EXPECT_EQ(fired.count(277), 0u);
  // A destroyed window's timers are gone with it.
  ws.destroy(w);
  EXPECT_FALSE(ws.pump(20));
}

TEST(WindowSystem, StylusGoesToTheTopWindowUnderThePointOrTheCapture) {
  WindowSystem ws;
  Recorder back, front, child;
  const WindowId b = make(ws, Rect::from_size(0, 52, 480, 800), back.handler());
  const WindowId f = make(ws, Rect::from_size(0, 52, 480, 400), front.handler());
  const WindowId c = make(ws, Rect::from_size(10, 20, 100, 50), child.handler(), f);
  ws.stylus(StylusAction::kDown, {15, 80});  // child at screen (10, 72)
  ASSERT_EQ(child.count(msg::kStylusDown), 1);
  EXPECT_EQ(lparam_x(child.seen.back().lparam), 5);
  EXPECT_EQ(lparam_y(child.seen.back().lparam), 8);
  EXPECT_EQ(ws.active(), f);
  ws.stylus(StylusAction::kDown, {15, 600});
  EXPECT_EQ(back.count(msg::kStylusDown), 1);
  // With the capture set, even a point far outside goes to the child, in its
  // own (negative) coordinates.
  ws.set_capture(c);
  ws.stylus(StylusAction::kMove, {0, 60});
  ASSERT_EQ(child.count(msg::kStylusMove), 1);
  EXPECT_EQ(lparam_x(child.seen.back().lparam), -10);
  EXPECT_EQ(lparam_y(child.seen.back().lparam), -12);
  ws.release_capture();
  // A hidden window takes nothing; a disabled one neither.
  ws.show(f, false);
  ws.stylus(StylusAction::kUp, {15, 80});
  EXPECT_EQ(back.count(msg::kStylusUp), 1);
  ws.enable(b, false);
  ws.stylus(StylusAction::kUp, {15, 80});
  EXPECT_EQ(back.count(msg::kStylusUp), 1);
}

TEST(WindowSystem, FocusAndActivationNotifyBothSides) {
  WindowSystem ws;
  Recorder r1, r2;
  const WindowId a = make(ws, Rect::from_size(0, 52, 480, 800), r1.handler());
  const WindowId b = make(ws, Rect::from_size(0, 52, 480, 800), r2.handler());
  ws.set_active(a);
  ws.set_active(b);
  ASSERT_GE(r1.count(msg::kActivate), 2);
  EXPECT_EQ(r1.seen.back().id, msg::kActivate);
  EXPECT_EQ(r1.seen.back().wparam, 0u);
  EXPECT_EQ(r2.seen.back().wparam, 1u);
  ws.set_focus(a);
  ws.set_focus(b);
  EXPECT_EQ(r1.count(msg::kKillFocus), 1);
  EXPECT_EQ(r2.count(msg::kSetFocus), 1);
  ws.key(key::kShift, true);
  EXPECT_TRUE(ws.key_held(key::kShift));
  ws.character(u'好');
  EXPECT_EQ(r2.seen.back().id, msg::kChar);
  EXPECT_EQ(r2.seen.back().wparam, uintptr_t(u'好'));
  // Destroying the active window activates the one below.
  ws.destroy(b);
  EXPECT_EQ(ws.active(), a);
}

TEST(WindowSystem, ReplacedHandlerSeesMessagesAndCanRestoreTheOldOne) {
  WindowSystem ws;
  Recorder owner, menu;
  const WindowId w = make(ws, Rect::from_size(0, 52, 480, 800), owner.handler());
  Handler old = ws.set_handler(w, menu.handler());
  ws.stylus(StylusAction::kDown, {5, 100});
  EXPECT_EQ(owner.count(msg::kStylusDown), 0);
  EXPECT_EQ(menu.count(msg::kStylusDown), 1);
  ws.set_handler(w, old);
  ws.stylus(StylusAction::kDown, {5, 100});
  EXPECT_EQ(owner.count(msg::kStylusDown), 1);
}

TEST(WindowSystem, UiThreadWaitingForASenderRunsItsSends) {
  // A list's step thread sends to its owner; the owner stops the thread and
  // waits for it on the UI thread. Without running the pending sends the two
  // would wait for each other.
  WindowSystem ws;
  std::atomic<int> steps{0};
  const WindowId owner = make(ws, {}, [&](const Message& m) -> intptr_t {
    if (m.id == msg::kTreeStep) ++steps;
    return 0;
  });
  std::atomic<bool> alive{true}, ended{false};
  std::thread stepper([&] {
    while (alive) ws.send(owner, msg::kTreeStep, 666, 0);
    ended = true;
  });
  while (steps < 3) ws.pump(5);
  alive = false;
  // Polling for the thread's end, as the list does, answering its sends.
  while (!ended) {
    ws.process_sent_messages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stepper.join();
  EXPECT_GE(steps.load(), 3);
}

TEST(WindowSystem, CallsQueuedFromOtherThreadsRunOnTheUiThread) {
  WindowSystem ws;
  std::thread::id ran_on;
  std::atomic<bool> done{false};
  std::thread other([&] {
    EXPECT_TRUE(ws.run_on_ui_thread([&] { ran_on = std::this_thread::get_id(); }, 5000));
    EXPECT_TRUE(WindowSystem::post_to_instance([&] { done = true; }));
  });
  while (!done) ws.pump(5);
  other.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  // Nothing answers while the UI thread does not pump: the wait gives up.
  EXPECT_FALSE(
      std::async(std::launch::async, [&] { return ws.run_on_ui_thread([] {}, 50); }).get());
}

// A source that sleeps the loop itself, as the desktop backend does; it
// records how long each sleep was allowed to be.
struct SleepingSource final : EventSource {
  std::mutex m;
  std::condition_variable cv;
  bool woken = false;  // guarded by m
  std::vector<int> waits;
  void poll() override {}
  int max_wait_ms() override { return -1; }
  bool waits_itself() const override { return true; }
  void wait(int timeout_ms) override {
    waits.push_back(timeout_ms);
    std::unique_lock lock(m);
    auto done = [this] { return woken; };
    if (timeout_ms < 0)
      cv.wait(lock, done);
    else
      cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), done);
    woken = false;
  }
  void wake() override {
    {
      std::lock_guard lock(m);
      woken = true;
    }
    cv.notify_all();
  }
};

TEST(WindowSystem, SourceThatSleepsIsWokenByPostsAndBoundedByTimersAndDelayedCalls) {
  WindowSystem ws;
  SleepingSource source;
  ws.set_event_source(&source);
  Recorder r;
  const WindowId w = make(ws, {}, r.handler());
  // Nothing due: the sleep has no limit, and a post from another thread ends it.
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ws.post(w, msg::kUser);
  });
  while (r.count(msg::kUser) == 0) ws.pump(-1);
  poster.join();
  ASSERT_FALSE(source.waits.empty());
  EXPECT_EQ(source.waits.front(), -1);
  // A timer or a delayed call bounds the sleep by when it is due.
  for (int kind = 0; kind < 2; ++kind) {
    source.waits.clear();
    bool called = false;
    const int timers = r.count(msg::kTimer);
    if (kind == 0)
      ws.set_timer(w, 3, 80);
    else
      ws.call_after(80, [&] { called = true; });
    while (r.count(msg::kTimer) == timers && !called) ws.pump(-1);
    ws.kill_timer(w, 3);
    ASSERT_FALSE(source.waits.empty()) << kind;
    EXPECT_GT(source.waits.front(), 0) << kind;
    EXPECT_LE(source.waits.front(), 80) << kind;
  }
  ws.set_event_source(nullptr);
}
