// Saved passwords in the desktop's secret service (a keyring reached over
// the session bus through libsecret): one secret per account number. Where
// no session bus is set or no service answers, available() is false and
// the callers keep passwords as they did without one. A call waits at most
// a few seconds for the service (one that asks the person to unlock or make
// a keyring is then given up on for the rest of the run). UI thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrin::platform {

class SecretService {
 public:
  // Whether a service answers on the session bus (asked until one does).
  static bool available();
  // Keeps the password for the account; false when the service refused.
  static bool store(std::u16string_view account, std::u16string_view password);
  // The account's password; nullopt when none is kept or the service fails.
  static std::optional<std::u16string> lookup(std::u16string_view account);
  // Forgets the account's password; false when the service failed.
  static bool erase(std::u16string_view account);
};

}  // namespace tavrin::platform
