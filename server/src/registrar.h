// Registrar: the "R" exchanges. The first "R" gets 401 with a "W" challenge;
// the second, with "A", is checked against the account's digest key: 200 with
// "X" (the lifetime), 401 for a wrong password or an id without an account
// (the same answer after the same work), 404 only for an id that is not a
// Tavrin number, 400 for an answer that cannot be read. Later "R" requests are keep-alives (200
// with "X"), and "X: 0" logs out. A second login of the same account sends
// the first connection "BN" registration "deregistered" and drops it.
// Repeated wrong passwords lock the account (for addresses it never logged
// in from) and the peer address for a while (LoginThrottle): answers then
// get 403 "Too Many Attempts" without being checked.
// Event-loop thread only.
#pragma once

#include "login_throttle.h"
#include "sipc_service.h"

namespace tavrin::server {

class Registrar {
 public:
  explicit Registrar(SipcService& s);
  void handle(SipcConnection& c, const SipcMessage& m);
  // The connection is gone: the account goes offline if it was this one's.
  void onClosed(SipcConnection& c);
  // Periodic: forgets old failures.
  void sweep() { throttle_.prune(LoginThrottle::Clock::now()); }
  // Shared with sign-in, which checks passwords too.
  LoginThrottle& throttle() { return throttle_; }

 private:
  void challenge(SipcConnection& c, const SipcMessage& m);
  void verify(SipcConnection& c, const SipcMessage& m, long number);
  void signOut(SipcConnection& c);
  // The addresses an account logged in from, kept in the store as well, so
  // that a restart does not forget them.
  void recallAddress(long number, uint32_t address);
  void keepAddress(long number, uint32_t address);
  SipcService& s_;
  LoginThrottle throttle_;
  // Test switches (--test-gone, --test-drop-register): how many are left.
  long goneLeft_ = 0;
  long dropLeft_ = 0;
};

// Presence value announced in a registration body ("<basic value=\"400\" ...").
int presenceFromRegistrationBody(std::string_view body);

}  // namespace tavrin::server
