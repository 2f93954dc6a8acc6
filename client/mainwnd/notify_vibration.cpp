#include "mainwnd/notify_vibration.h"

#include <mutex>

#include "platform/leds.h"

namespace tavrin::mainwnd {

int Vibration::device() {
  static std::once_flag looked_up;
  static int device = 0;  // written once under looked_up
  std::call_once(looked_up, [] {
    const int count = platform::Leds::device_count();
    device = count > 0 ? count - 1 : 0;
  });
  return device;
}

void Vibration::on() {
  platform::Leds::set(device(), true);
  platform::Leds::set(0, true);
}

void Vibration::off() {
  platform::Leds::set(device(), false);
  platform::Leds::set(0, false);
}

}  // namespace tavrin::mainwnd
