// Notifier: how the main window tells the user a message arrived, under
// the Silence, Sound and Vibrate switches: the "新信息" notice when the
// client is not in front, the new-message sound "Sounds\newmessage.wav",
// and a one-second vibration with the notification light, ended by timer
// 277 of the main window (re-armed by each message, so the vibration stops
// one second after the last one).
//
// Owned by the main window, whose handler passes its timer messages to
// handle_timer(). UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mainwnd/notify_notice.h"
#include "platform/window_system.h"
#include "shell/client_settings.h"

namespace tavrin::mainwnd {

class Notifier {
 public:
  static constexpr uintptr_t kVibrateTimer = 277;
  static constexpr int kVibrateMs = 1000;
  static constexpr int kNewMessage = 1;

  // The machine's services, replaceable by tests.
  struct Services {
    std::function<bool(const std::string& wav)> play_sound;
    std::function<void(platform::WindowId, uintptr_t, int)> set_timer;
    std::function<void(platform::WindowId, uintptr_t)> kill_timer;
  };

  explicit Notifier(platform::WindowId main_window);
  void set_services(Services services) { services_ = std::move(services); }

  // Copies of the settings' switches (0 or 1).
  void set_switches(int silence, int sound, int vibrate);
  void set_switches(const shell::ClientSettings& settings) {
    set_switches(settings.silence, settings.sound, settings.vibrate);
  }

  // A message from contact_id, whose display name is sender.
  // in_view: the line already shows in the window in front (the open chat
  // with this sender), so no notice pops up over it; sound and vibration
  // still follow the switches.
  void notify(int kind, uint32_t contact_id, std::u16string_view sender, bool in_view = false);
  // True (and handled) for the vibration timer.
  bool handle_timer(const platform::Message& m);

  CBriskMsgBox& notice() { return notice_; }
  // The sound file, from the install folder.
  static std::string sound_path();

 private:
  platform::WindowId main_window_;
  int silence_ = 0, sound_ = 0, vibrate_ = 1;
  Services services_;
  CBriskMsgBox notice_;
};

}  // namespace tavrin::mainwnd
