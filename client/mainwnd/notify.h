// Notifier: how the main window tells the user a message arrived, under
// the Silence, Sound and Vibrate switches: the "新信息" notice when the
// client is not in front, the new-message sound "Sounds\newmessage.wav",
// and a one-second vibration with the notification light, ended by timer
// 277 of the main window (re-armed by each message, so the vibration stops
// one second after the last one). While the window is not focused the
// desktop's notification service shows the line too (DesktopNotes), and
// vibration asks the desktop for attention (the window's urgency hint).
//
// Owned by the main window, whose handler passes its timer messages to
// handle_timer(). UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mainwnd/desktop_notes.h"
#include "mainwnd/notify_notice.h"
#include "platform/window_system.h"
#include "shell/client_settings.h"

namespace tavrin::mainwnd {

class Notifier {
 public:
  static constexpr uintptr_t kVibrateTimer = 277;
  // Reads the desktop notification service's clicks while ours are shown.
  static constexpr uintptr_t kDesktopNotesTimer = 278;
  static constexpr int kDesktopNotesPollMs = 250;
  static constexpr int kVibrateMs = 1000;
  static constexpr int kNewMessage = 1;

  // The machine's services, replaceable by tests.
  struct Services {
    std::function<bool(const std::string& wav)> play_sound;
    std::function<void(platform::WindowId, uintptr_t, int)> set_timer;
    std::function<void(platform::WindowId, uintptr_t)> kill_timer;
    std::function<void()> request_attention;  // the desktop window's urgency hint
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
  // text: the line when known (a send report); the desktop notification
  // shows it under the sender's name.
  void notify(int kind, uint32_t contact_id, std::u16string_view sender, bool in_view = false,
              std::u16string_view text = {});
  // A contact nudged the user: vibration as the switches allow, and a
  // desktop notification while the window is not focused.
  void nudged(uint32_t contact_id, std::u16string_view name);
  // A friend came online: a desktop notification while the window is not
  // focused, when the settings' friend-online switch is on and Silence off.
  void friend_online(uint32_t contact_id, std::u16string_view name);
  // What a click on a desktop notification does with its contact.
  void set_open_chat(std::function<void(uint32_t contact_id)> open) {
    open_chat_ = std::move(open);
  }
  DesktopNotes& desktop_notes() { return desktop_; }
  // True (and handled) for the vibration and desktop-notification timers.
  bool handle_timer(const platform::Message& m);

  CBriskMsgBox& notice() { return notice_; }
  // The sound file, from the install folder.
  static std::string sound_path();

 private:
  platform::WindowId main_window_;
  int silence_ = 0, sound_ = 0, vibrate_ = 1;
  Services services_;
  CBriskMsgBox notice_;
  DesktopNotes desktop_;
  std::function<void(uint32_t)> open_chat_;

  bool window_focused() const;
  void show_on_desktop(DesktopNotes::Kind kind, uint32_t contact_id, std::u16string_view sender,
                       std::u16string_view text);
};

}  // namespace tavrin::mainwnd
