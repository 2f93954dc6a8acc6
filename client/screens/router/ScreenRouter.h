// ScreenRouter: how the main window (and the login screen) open every other
// screen without knowing its class. Each screen module wires an opener for
// its route in routes.cpp; the main window asks for a route and gets the
// screen's modal result, or kNotWired while that screen does not exist.
// UI thread only.
#pragma once

#include <functional>
#include <map>

#include "platform/messages.h"

namespace tavrin::screens {

enum class Route {
  kSettings,      // personal settings; result: the chosen status 0-3 (online, hidden, busy, away)
  kThemePicker,   // appearance; result 1 when saved
  kOwnProfile,    // the user's own profile
  kAddFriend,     // add a contact
  kAccountInfo,   // a contact's details: contact_id, mode 0 or 1
  kAddressBook,   // the device address book
  kChatLog,       // the chat-log viewer
  kScheduledSms,  // the scheduled-SMS list
  kGroupSms,      // SMS to a group: group_id (-1 and 999: every contact)
  kSmsToSelf,     // SMS to the user's own phone
  kAbout,         // the about box
};

struct RouteRequest {
  Route route = Route::kAbout;
  platform::WindowId owner = 0;  // the window the screen runs over
  long contact_id = 0;
  int group_id = 0;
  int mode = 0;
  // The user is not signed in: the screen offers only what works offline.
  bool offline = false;
};

class ScreenRouter {
 public:
  static constexpr int kNotWired = -1000;
  using Opener = std::function<int(const RouteRequest&)>;

  static ScreenRouter& instance();

  void add(Route route, Opener opener) { openers_[route] = std::move(opener); }
  bool has(Route route) const { return openers_.count(route) != 0; }
  // Runs the route's screen modally; its result, or kNotWired.
  int open(const RouteRequest& request) const;
  void clear() { openers_.clear(); }

 private:
  std::map<Route, Opener> openers_;
};

// Wires every screen this build has (routes.cpp); idempotent.
void wire_screens();

}  // namespace tavrin::screens
