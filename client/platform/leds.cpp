#include "platform/leds.h"

#include <mutex>

namespace tavrin::platform {
namespace {
std::mutex g_mutex;
bool g_state[Leds::kDeviceCount] = {};  // guarded by g_mutex
std::function<void()> g_listener;       // guarded by g_mutex
}  // namespace

int Leds::device_count() {
  return kDeviceCount;
}

bool Leds::set(int device, bool on_now) {
  if (device < 0 || device >= kDeviceCount) return false;
  // The listener runs under the lock so that it cannot be called after
  // set_listener(nullptr) returned (its owner may be gone by then).
  std::lock_guard lock(g_mutex);
  if (g_state[device] == on_now) return true;
  g_state[device] = on_now;
  if (g_listener) g_listener();
  return true;
}

bool Leds::on(int device) {
  if (device < 0 || device >= kDeviceCount) return false;
  std::lock_guard lock(g_mutex);
  return g_state[device];
}

void Leds::set_listener(std::function<void()> listener) {
  std::lock_guard lock(g_mutex);
  g_listener = std::move(listener);
}

}  // namespace tavrin::platform
