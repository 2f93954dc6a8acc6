#include "relogin.h"

#include <algorithm>

namespace tavrin::cli {

void ReloginCycle::start(Clock::time_point now) {
  active_ = true;
  running_ = false;
  attempts_ = 0;
  delay_ = kFirstDelay;
  at_ = now + delay_;
  delay_ = std::min(delay_ * 2, kMaxDelay);
}

bool ReloginCycle::due(Clock::time_point now) const {
  return active_ && !running_ && now >= at_;
}

int ReloginCycle::begin_attempt(Clock::time_point now) {
  running_ = true;
  at_ = now + kWatchdog;
  return ++attempts_;
}

void ReloginCycle::attempt_failed(Clock::time_point now) {
  if (!active_) return;
  running_ = false;
  at_ = now + delay_;
  delay_ = std::min(delay_ * 2, kMaxDelay);
}

bool ReloginCycle::overdue(Clock::time_point now) const {
  return active_ && running_ && now >= at_;
}

void ReloginCycle::done() {
  active_ = false;
  running_ = false;
  delay_ = kFirstDelay;
}

std::optional<ReloginCycle::Clock::time_point> ReloginCycle::next_event() const {
  if (!active_) return std::nullopt;
  return at_;
}

}  // namespace tavrin::cli
