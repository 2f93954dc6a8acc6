#include "mainwnd/notify.h"

#include "mainwnd/notify_vibration.h"
#include "platform/sound.h"
#include "shell/app_paths.h"

namespace tavrin::mainwnd {

using namespace platform;

Notifier::Notifier(WindowId main_window) : main_window_(main_window) {
  services_.play_sound = [](const std::string& wav) { return Sound::play_async(wav); };
  services_.set_timer = [](WindowId w, uintptr_t id, int ms) {
    if (auto* ws = WindowSystem::instance()) ws->set_timer(w, id, ms);
  };
  services_.kill_timer = [](WindowId w, uintptr_t id) {
    if (auto* ws = WindowSystem::instance()) ws->kill_timer(w, id);
  };
}

void Notifier::set_switches(int silence, int sound, int vibrate) {
  silence_ = silence;
  sound_ = sound;
  vibrate_ = vibrate;
}

std::string Notifier::sound_path() {
  // The sounds folder is the shipped one, below the install folder or,
  // installed, in the shared folder.
  return shell::app_paths().resolve(shell::app_paths().sounds_folder + u"newmessage.wav").string();
}

void Notifier::notify(int kind, uint32_t, std::u16string_view sender, bool in_view) {
  auto* ws = WindowSystem::instance();
  if (ws && !in_view && (!ws->foreground() || ws->active() != main_window_))
    notice_.show(u"新信息", u"来自：" + std::u16string(sender), 1);
  if (silence_ == 1) return;
  if (sound_) {
    if (kind != kNewMessage) return;
    if (services_.play_sound) services_.play_sound(sound_path());
  }
  if (vibrate_) {
    Vibration::on();
    if (services_.set_timer) services_.set_timer(main_window_, kVibrateTimer, kVibrateMs);
  }
}

bool Notifier::handle_timer(const Message& m) {
  if (m.id != msg::kTimer || m.wparam != kVibrateTimer) return false;
  Vibration::off();
  // Once is enough: the next message arms it again.
  if (services_.kill_timer) services_.kill_timer(main_window_, kVibrateTimer);
  return true;
}

}  // namespace tavrin::mainwnd
