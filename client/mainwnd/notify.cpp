#include "mainwnd/notify.h"

#include "mainwnd/notify_vibration.h"
#include "platform/sound.h"
#include "shell/app.h"
#include "shell/app_paths.h"
#include "shell/switch_settings.h"

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
  services_.request_attention = [] {
    if (auto* app = shell::CBriskLibTavrinApp::instance()) app->request_attention();
  };
}

bool Notifier::window_focused() const {
  auto* ws = WindowSystem::instance();
  return !ws || (ws->foreground() && ws->active() == main_window_);
}

void Notifier::show_on_desktop(DesktopNotes::Kind kind, uint32_t contact_id,
                               std::u16string_view sender, std::u16string_view text) {
  if (!desktop_.show(kind, contact_id, sender, text)) return;
  if (services_.set_timer)
    services_.set_timer(main_window_, kDesktopNotesTimer, kDesktopNotesPollMs);
}

void Notifier::nudged(uint32_t contact_id, std::u16string_view name) {
  if (silence_ == 1) return;
  if (!window_focused())
    show_on_desktop(DesktopNotes::Kind::kLine, contact_id, name, u"给你发了一个震动");
  if (vibrate_) {
    Vibration::on();
    if (services_.set_timer) services_.set_timer(main_window_, kVibrateTimer, kVibrateMs);
  }
}

void Notifier::friend_online(uint32_t contact_id, std::u16string_view name) {
  if (silence_ == 1 || !shell::switch_settings().online_sound || window_focused()) return;
  show_on_desktop(DesktopNotes::Kind::kOnline, contact_id, name, {});
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

void Notifier::notify(int kind, uint32_t contact_id, std::u16string_view sender, bool in_view,
                      std::u16string_view text) {
  auto* ws = WindowSystem::instance();
  // "查看" opens that contact's chat: the main window's own tap on the contact.
  const WindowId main = main_window_;
  if (ws && !in_view && (!ws->foreground() || ws->active() != main_window_))
    notice_.show(u"新信息", u"来自：" + std::u16string(sender), 1, [main, contact_id] {
      if (auto* ws = WindowSystem::instance()) ws->post(main, msg::kItemTapped, 0, contact_id);
    });
  if (!in_view && !window_focused())
    show_on_desktop(DesktopNotes::Kind::kLine, contact_id, sender, text);
  if (silence_ == 1) return;
  if (sound_) {
    if (kind != kNewMessage) return;
    if (services_.play_sound) services_.play_sound(sound_path());
  }
  if (vibrate_) {
    Vibration::on();
    if (services_.request_attention && !window_focused()) services_.request_attention();
    if (services_.set_timer) services_.set_timer(main_window_, kVibrateTimer, kVibrateMs);
  }
}

bool Notifier::handle_timer(const Message& m) {
  if (m.id == msg::kTimer && m.wparam == kDesktopNotesTimer) {
    const bool showing = desktop_.poll([this](uint32_t contact) {
      if (open_chat_) open_chat_(contact);
    });
    if (!showing && services_.kill_timer) services_.kill_timer(main_window_, kDesktopNotesTimer);
    return true;
  }
  if (m.id != msg::kTimer || m.wparam != kVibrateTimer) return false;
  Vibration::off();
  // Once is enough: the next message arms it again.
  if (services_.kill_timer) services_.kill_timer(main_window_, kVibrateTimer);
  return true;
}

}  // namespace tavrin::mainwnd
