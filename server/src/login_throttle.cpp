#include "login_throttle.h"

#include <algorithm>

namespace tavrin::server {

LoginThrottle::Clock::duration LoginThrottle::remaining(const Record* r, Clock::time_point now) {
  if (!r || r->lockedUntil <= now) return Clock::duration::zero();
  return r->lockedUntil - now;
}

LoginThrottle::Clock::duration LoginThrottle::quietSince(const Record& r, Clock::time_point now) {
  return now - std::max(r.lastFailure, r.lockedUntil);
}

LoginThrottle::Clock::duration LoginThrottle::lockedFor(long account, uint32_t address,
                                                        Clock::time_point now) const {
  auto a = accounts_.find(account);
  auto b = addresses_.find(address);
  return std::max(remaining(a == accounts_.end() ? nullptr : &a->second, now),
                  remaining(b == addresses_.end() ? nullptr : &b->second, now));
}

LoginThrottle::Clock::duration LoginThrottle::fail(Record& r, const Policy& p,
                                                   Clock::time_point now) {
  if (r.failures > 0 && quietSince(r, now) >= kForgetAfter) r.failures = 0;
  ++r.failures;
  r.lastFailure = now;
  const int over = r.failures - p.freeFailures;
  if (over <= 0) return Clock::duration::zero();
  // Doubling, without overflowing the shift: 2^10 already passes any cap.
  Clock::duration lock = p.firstLock * (1L << std::min(over - 1, 20));
  lock = std::min<Clock::duration>(lock, p.maxLock);
  r.lockedUntil = now + lock;
  return lock;
}

LoginThrottle::Clock::duration LoginThrottle::failed(long account, uint32_t address,
                                                     Clock::time_point now) {
  return std::max(fail(accounts_[account], kAccount, now),
                  fail(addresses_[address], kAddress, now));
}

void LoginThrottle::succeeded(long account) {
  accounts_.erase(account);
}

void LoginThrottle::prune(Clock::time_point now) {
  auto stale = [now](const auto& entry) { return quietSince(entry.second, now) >= kForgetAfter; };
  std::erase_if(accounts_, stale);
  std::erase_if(addresses_, stale);
}

}  // namespace tavrin::server
