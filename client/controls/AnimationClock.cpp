#include "controls/AnimationClock.h"

#include <chrono>
#include <thread>

#include "platform/window_system.h"

namespace tavrin::controls {
namespace {
std::function<int64_t()> g_now;   // UI thread
std::function<void(int)> g_wait;  // UI thread
}  // namespace

int64_t now_ms() {
  if (g_now) return g_now();
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void wait_frame(int ms) {
  if (g_wait) {
    g_wait(ms);
    return;
  }
  auto* ws = platform::WindowSystem::instance();
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  do {
    if (ws && ws->on_ui_thread()) ws->process_sent_messages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (std::chrono::steady_clock::now() < until);
}

void after_frame(int ms, std::function<void()> fn) {
  if (g_wait) {
    g_wait(ms);
    fn();
    return;
  }
  if (auto* ws = platform::WindowSystem::instance()) ws->call_after(ms, std::move(fn));
}

void set_clock_for_tests(std::function<int64_t()> now, std::function<void(int)> wait) {
  g_now = std::move(now);
  g_wait = std::move(wait);
}

}  // namespace tavrin::controls
