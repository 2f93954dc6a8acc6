// The engine bridge: how engine callbacks reach the client's windows. The
// callbacks run on engine threads and touch no client state: each posts
// window message 1024 + code, with p1 and p2, to the window whose id is the
// callback's user data (a window id, never a pointer, so a message for a
// screen that has closed is simply not delivered). The UI thread then
// adopts the words as an EngineMessage, which frees what the receiver owns.
//
// A body that is valid only during the callback (codes 16 and 17) is not
// posted: the client fetches chat lines with fx_get_msg, so p1 arrives 0.
// A message that cannot be posted is freed at once, and one whose window
// is gone by the time it is handled is freed then (install()).
#pragma once

#include <cstdint>

#include "bridge/EngineMessages.h"
#include "platform/messages.h"

namespace tavrin::platform {
class WindowSystem;
}

namespace tavrin::bridge {

inline constexpr uint32_t kEngineBase = platform::msg::kUser;  // message = base + code
inline constexpr int kMaxCode = 1023;

// The user data that makes a callback post to `window`.
inline void* user_data(platform::WindowId window) {
  return reinterpret_cast<void*>(uintptr_t(window));
}

// The callback for fx_set_system_msg_cb and for every request: posts to
// the window in `user` (nothing, and the words freed, when user is null).
void post_callback(int code, intptr_t p1, intptr_t p2, void* user);

// Whether a window message is an engine message, and its code.
inline bool is_engine_message(uint32_t message) {
  return message > kEngineBase && message <= kEngineBase + kMaxCode;
}
inline int engine_code(uint32_t message) {
  return int(message - kEngineBase);
}

// Makes the window system free what undelivered engine messages carry.
// UI thread; idempotent.
void install(platform::WindowSystem& windows);

// How many posted engine messages were freed undelivered; for tests.
int undelivered_count();

}  // namespace tavrin::bridge
