// The mobile-number resolver of the login task: an 11-digit login id is
// turned into the user's 9-digit Tavrin number by asking the SIP-C server
// ("S" GetUserInfo with the mobile number, allowed before registration) on
// a connection of its own, closed again at once. A 9-character id passes
// through unchanged. Runs on the timer thread inside the login task; every
// step is bounded by kResolveTimeLimit.
#pragma once

#include <chrono>
#include <string>

namespace tavrin {

inline constexpr std::chrono::seconds kResolveTimeLimit{10};

enum class Resolved {
  ok,              // *user_id holds the 9-character id
  unknown,         // no such number, or an id that is neither 9 nor 11 long
  network_failure  // no connection, no answer, or an unreadable one
};

Resolved resolve_login_id(const std::string& login_id, std::string* user_id);

// For tests: a shorter limit (0 restores kResolveTimeLimit).
void set_resolve_time_limit(std::chrono::milliseconds limit);

}  // namespace tavrin
