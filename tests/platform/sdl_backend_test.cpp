// The windowed desktop backend on a real X server (an Xvfb of the test's
// own): the UI thread sleeps in SDL's wait and is woken by what it must
// handle (a post from another thread, a due timer), and by nothing else.
#include "platform/sdl_backend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "child_process.h"
#include "platform/display.h"
#include "platform/window_system.h"

using namespace tavrin::platform;
using tavrin::test::ChildProcess;

namespace {

// The program's full path on PATH; empty when it is not installed.
std::string on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t at = 0;
  while (at <= dirs.size()) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    const std::string candidate = dirs.substr(at, end - at) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return {};
}

class WindowedBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string xvfb = on_path("Xvfb");
    if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    // Xvfb picks a free display and names it on its output.
    xvfb_ = std::make_unique<ChildProcess>(
        xvfb, std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                                         "640x900x24"});
    const auto number = xvfb_->read_line(std::chrono::seconds(20));
    ASSERT_TRUE(number && !number->empty()) << "Xvfb did not start";
    ::setenv("DISPLAY", (":" + *number).c_str(), 1);
    ws_ = std::make_unique<WindowSystem>();
    display_ = std::make_unique<Display>(*ws_);
    std::string error;
    backend_ = SdlBackend::open(*ws_, *display_, {}, &error);
    ASSERT_TRUE(backend_) << error;
    ASSERT_FALSE(backend_->headless());
    WindowSpec spec;
    spec.rect = {0, 0, 480, 800};
    spec.handler = [this](const Message& m) -> intptr_t {
      if (m.id == msg::kTimer) ++timers_;
      if (m.id == msg::kUser) ++posts_;
      return 0;
    };
    window_ = ws_->create(std::move(spec));
    // What the window manager-less server sends at first (expose, focus).
    for (int i = 0; i < 50; ++i) ws_->pump(20);
  }
  void TearDown() override {
    backend_.reset();
    display_.reset();
    ws_.reset();
    ::unsetenv("DISPLAY");
  }

  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<WindowSystem> ws_;
  std::unique_ptr<Display> display_;
  std::unique_ptr<SdlBackend> backend_;
  WindowId window_ = 0;
  int timers_ = 0, posts_ = 0;
};

TEST_F(WindowedBackend, IdleLoopSleepsUntilItsTimerIsDue) {
  ws_->set_timer(window_, 7, 300);
  // Rounds of the loop until the timer fires: one wait, not a poll every
  // few milliseconds.
  int rounds = 0;
  while (timers_ == 0 && rounds < 1000) {
    ws_->pump(-1);
    ++rounds;
  }
  EXPECT_EQ(timers_, 1);
  EXPECT_LE(rounds, 4);
}

TEST_F(WindowedBackend, PostFromAnotherThreadEndsTheWait) {
  std::atomic<bool> stop{false};
  // Posts a few times, spaced out, so that each one finds the UI thread
  // asleep; a safety timer ends a loop that a lost wake-up would hang.
  std::thread poster([&] {
    for (int i = 0; i < 5 && !stop; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      ws_->post(window_, msg::kUser);
    }
  });
  ws_->set_timer(window_, 8, 20000);
  int rounds = 0;
  while (posts_ < 5 && timers_ == 0 && rounds < 1000) {
    ws_->pump(-1);
    ++rounds;
  }
  stop = true;
  poster.join();
  EXPECT_EQ(posts_, 5);
  EXPECT_EQ(timers_, 0) << "a post did not wake the sleeping UI thread";
  // Each post wakes the loop once or twice (the message, SDL's wake event).
  EXPECT_LE(rounds, 15);
}

}  // namespace
