// The one-second vibration of a new message, with the notification light:
// the vibrator is the last notification-LED device (looked up once per
// process; device 0 when the lookup fails), the light is device 0. Any
// thread may call these; the lookup is guarded by its own once-flag.
#pragma once

namespace tavrin::mainwnd {

class Vibration {
 public:
  static void on();
  static void off();
  // The vibrator's device number (looks it up on first use).
  static int device();
};

}  // namespace tavrin::mainwnd
