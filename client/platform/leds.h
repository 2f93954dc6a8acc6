// Notification LEDs: device 0 is the notification light, the last device
// the vibrator. On a desktop both show on the task bar (a flashing bar and
// a vibration mark). Any thread may set them; the listener (the task bar)
// is called on the setting thread, under the LEDs' lock: it must only post.
#pragma once

#include <functional>

namespace tavrin::platform {

class Leds {
 public:
  static constexpr int kDeviceCount = 2;
  // The number of devices, as the driver's device-information query gives it.
  static int device_count();
  // false for a device that does not exist.
  static bool set(int device, bool on);
  static bool on(int device);
  static void set_listener(std::function<void()> listener);
};

}  // namespace tavrin::platform
