// Desktop notifications: the freedesktop notification service on the
// user's session bus (org.freedesktop.Notifications). NotificationBus is the
// seam: the real one speaks D-Bus, tests stand in for it. UI thread only;
// nothing here blocks for long (a call waits at most kCallTimeoutMs).
#pragma once

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
// (a click on the notification is the action "default"), or a close.
struct NotificationSignal {
  enum Kind { kAction, kClosed } kind = kAction;
  uint32_t id = 0;
  std::string action;
};

class NotificationBus {
 public:
  static constexpr int kCallTimeoutMs = 1000;
  virtual ~NotificationBus() = default;
  // The id the service gave, or 0 when it did not answer or refused.
  virtual uint32_t notify(const DesktopNotification& n) = 0;
  virtual void close(uint32_t id) = 0;
  // The signals that arrived, without waiting.
  virtual std::vector<NotificationSignal> take_signals() = 0;
};

// The session bus's notification service; nullptr when there is no session bus.
std::unique_ptr<NotificationBus> open_session_notification_bus();

}  // namespace tavrin::platform
