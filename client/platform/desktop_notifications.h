// Desktop notifications: the freedesktop notification service on the
// user's session bus (org.freedesktop.Notifications). NotificationBus is the
// seam: the real one speaks D-Bus, tests stand in for it. UI thread only;
// nothing here waits for the service: a call goes out at once and its
// answer is read later with the signals, so a service that never answers
// costs the user nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrin::platform {

// One Notify call, its arguments as they go on the bus.
struct DesktopNotification {
  std::string app_name = "Tavrin";
  uint32_t replaces_id = 0;  // a shown notification to replace, else 0
  std::string icon = "tavrin";
  std::string summary;
  std::string body;                  // the service may read simple markup: escaped
  std::vector<std::string> actions;  // key, label, key, label, ...
  std::string desktop_entry;         // hint "desktop-entry"
  std::string category;              // hint "category", e.g. "im.received"
  uint8_t urgency = 1;               // hint "urgency": 0 low, 1 normal, 2 critical
  int32_t expire_ms = -1;            // -1: the service decides
};

// What the service reported since the last look: an action the user chose
// (a click on the notification is the action "default"), a close, or the
// answer to a Notify call: the id the service gave it, 0 when it refused or
// did not answer within kCallTimeoutMs.
struct NotificationSignal {
  enum Kind { kAction, kClosed, kShown } kind = kAction;
  uint32_t id = 0;
  std::string action;
  uint64_t ticket = 0;  // kShown: the notify() it answers
};

class NotificationBus {
 public:
  static constexpr int kCallTimeoutMs = 1000;
  virtual ~NotificationBus() = default;
  // Sends the call without waiting for the answer: a ticket (never 0) that
  // a kShown signal answers later, or 0 when the call could not go out.
  virtual uint64_t notify(const DesktopNotification& n) = 0;
  virtual void close(uint32_t id) = 0;
  // The signals and answers that arrived, without waiting; a call still
  // unanswered after kCallTimeoutMs is answered here with id 0.
  virtual std::vector<NotificationSignal> take_signals() = 0;
};

// The session bus's notification service; nullptr when there is no session bus.
std::unique_ptr<NotificationBus> open_session_notification_bus();

}  // namespace tavrin::platform
