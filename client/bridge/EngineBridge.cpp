#include "bridge/EngineBridge.h"

#include <atomic>

#include "platform/window_system.h"

namespace tavrin::bridge {
namespace {
std::atomic<int> g_undelivered{0};
}

void post_callback(int code, intptr_t p1, intptr_t p2, void* user) {
  if (describe(code).p1 == Carries::kTransientText) p1 = 0;
  const auto window = platform::WindowId(reinterpret_cast<uintptr_t>(user));
  bool posted = false;
  if (window != 0 && code > 0 && code <= kMaxCode) {
    // The window system may be gone at shut-down; post_to_instance is the
    // one call that is safe against that from another thread.
    posted = platform::WindowSystem::post_to_instance([window, code, p1, p2] {
      auto* ws = platform::WindowSystem::instance();
      if (!ws || !ws->exists(window) ||
          !ws->post(window, kEngineBase + uint32_t(code), uintptr_t(p1), p2)) {
        release(code, p1, p2);
        g_undelivered.fetch_add(1, std::memory_order_relaxed);
      }
    });
  }
  if (!posted) {
    release(code, p1, p2);
    g_undelivered.fetch_add(1, std::memory_order_relaxed);
  }
}

int undelivered_count() {
  return g_undelivered.load(std::memory_order_relaxed);
}

}  // namespace tavrin::bridge
