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

bool LoginThrottle::known(long account, uint32_t address) const {
  auto it = knownAddresses_.find(account);
  return it != knownAddresses_.end() &&
         std::find(it->second.begin(), it->second.end(), address) != it->second.end();
}

LoginThrottle::Clock::duration LoginThrottle::lockedFor(long account, uint32_t address,
                                                        Clock::time_point now) const {
  auto b = addresses_.find(address);
  const Clock::duration byAddress = remaining(b == addresses_.end() ? nullptr : &b->second, now);
  // The account's lock keeps strangers out, never its owner's own addresses.
  if (known(account, address)) return byAddress;
  auto a = accounts_.find(account);
  return std::max(remaining(a == accounts_.end() ? nullptr : &a->second, now), byAddress);
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

LoginThrottle::Clock::duration LoginThrottle::failedUnknown(uint32_t address,
                                                            Clock::time_point now) {
  return fail(addresses_[address], kAddress, now);
}

void LoginThrottle::succeeded(long account, uint32_t address) {
  // From a new address the account cannot have been locked, so its count
  // starts again; the owner's own address passing a lock leaves it for the
  // strangers it holds back.
  if (!known(account, address)) accounts_.erase(account);
  lookups_.erase(address);
  remember(account, address);
}

void LoginThrottle::remember(long account, uint32_t address) {
  std::vector<uint32_t>& recent = knownAddresses_[account];
  std::erase(recent, address);
  if (recent.size() >= kKnownAddresses) recent.erase(recent.begin());
  recent.push_back(address);
}

LoginThrottle::Clock::duration LoginThrottle::lookup(uint32_t address, Clock::time_point now) {
  Record& r = lookups_[address];
  if (auto wait = remaining(&r, now); wait > Clock::duration::zero()) return wait;
  fail(r, kLookup, now);
  return Clock::duration::zero();
}

void LoginThrottle::prune(Clock::time_point now) {
  auto stale = [now](const auto& entry) { return quietSince(entry.second, now) >= kForgetAfter; };
  std::erase_if(accounts_, stale);
  std::erase_if(addresses_, stale);
  std::erase_if(lookups_, stale);
}

}  // namespace tavrin::server
