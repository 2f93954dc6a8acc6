// DesktopNotes: what the desktop's notification service shows while the
// client's window is not focused: a new line (the sender's name over the
// text) or a friend coming online. One notification per contact at a time:
// a newer one replaces it. Clicking one brings the client forward at that
// contact's chat. The bus is opened on first use; without one nothing is
// shown. Nothing waits for the service: a notification's id is learnt
// from poll(), which runs while any is shown or unanswered. UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/desktop_notifications.h"

namespace tavrin::mainwnd {

class DesktopNotes {
 public:
  enum class Kind { kLine, kOnline };
  using BusOpener = std::function<std::unique_ptr<platform::NotificationBus>()>;

  explicit DesktopNotes(BusOpener open = platform::open_session_notification_bus)
      : open_(std::move(open)) {}

  // Shows (or replaces) the contact's notification; false when it could not
  // be sent (no service). Whether it was shown, poll() learns.
  bool show(Kind kind, uint32_t contact_id, std::u16string_view sender, std::u16string_view text);
  // Reads what the service reported: a click on a notification calls
  // on_click with its contact. True while notifications of ours are shown
  // or their calls unanswered.
  bool poll(const std::function<void(uint32_t contact_id)>& on_click);
  // Takes the contact's notification away (its chat is being read).
  void withdraw(uint32_t contact_id);
  bool showing() const { return !contact_of_.empty() || !asked_.empty(); }

  // The call for one notification, as it goes to the service.
  static platform::DesktopNotification compose(Kind kind, std::u16string_view sender,
                                               std::u16string_view text);

 private:
  platform::NotificationBus* bus();
  // The service's answer to a call: the notification's id (0: not shown).
  void shown(uint64_t ticket, uint32_t id);

  BusOpener open_;
  bool opened_ = false;
  std::unique_ptr<platform::NotificationBus> bus_;
  std::map<uint32_t, uint32_t> contact_of_;  // notification id -> contact
  std::map<uint32_t, uint32_t> shown_for_;   // contact -> notification id
  struct Asked {
    uint32_t contact_id, replaces_id;
  };
  std::map<uint64_t, Asked> asked_;  // unanswered calls, by ticket
};

}  // namespace tavrin::mainwnd
