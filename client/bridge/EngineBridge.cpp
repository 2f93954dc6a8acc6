#include "bridge/EngineBridge.h"

#include <atomic>

#include "platform/window_system.h"

namespace tavrin::bridge {
namespace {
std::atomic<int> g_undelivered{0};

void drop(int code, intptr_t p1, intptr_t p2) {
  release_posted(code, p1, p2);
  g_undelivered.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

void post_callback(int code, intptr_t p1, intptr_t p2, void* user) {
  const Carries carries = describe(code).p1;
  if (carries == Carries::kTransientText) p1 = 0;
  // A record the engine keeps is valid only while this call runs: the
  // engine may free it (a line that never went out, a dialog that closed)
  // before the UI thread reads it. The UI thread gets a copy of its own.
  if (carries == Carries::kRecordKept && p1 != 0)
    p1 = reinterpret_cast<intptr_t>(copy_kept_record(reinterpret_cast<const fx_msg*>(p1)));
  const auto window = platform::WindowId(reinterpret_cast<uintptr_t>(user));
  // Straight into the UI thread's queue: one hand-over per message, and
  // safe against the window system going away meanwhile.
  const bool posted = window != 0 && code > 0 && code <= kMaxCode &&
                      platform::WindowSystem::post_to_instance(window, kEngineBase + uint32_t(code),
                                                               uintptr_t(p1), p2);
  if (!posted) drop(code, p1, p2);
}

void install(platform::WindowSystem& windows) {
  windows.set_undelivered_handler([](const platform::Message& m) {
    if (is_engine_message(m.id)) drop(engine_code(m.id), intptr_t(m.wparam), m.lparam);
  });
}

int undelivered_count() {
  return g_undelivered.load(std::memory_order_relaxed);
}

}  // namespace tavrin::bridge
