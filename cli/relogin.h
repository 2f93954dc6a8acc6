// The relogin cycle of tavrin-cli after a lost connection, as the client's
// main window runs it: attempt after attempt until one logs in, each given
// up after a watchdog of 35 s, with a back-off between attempts that
// doubles from 1 s up to 35 s. Pure bookkeeping over a clock the caller
// passes in, so that tests drive it without waiting. Main thread only.
#pragma once

#include <chrono>
#include <optional>

namespace tavrin::cli {

class ReloginCycle {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kFirstDelay{1};
  static constexpr std::chrono::seconds kMaxDelay{35};
  static constexpr std::chrono::seconds kWatchdog{35};

  // The connection was lost: the first attempt is due after the first delay.
  void start(Clock::time_point now);
  // An attempt is due (and none is running): it starts now; its number.
  bool due(Clock::time_point now) const;
  int begin_attempt(Clock::time_point now);
  // The running attempt failed (a failure code, or its watchdog ran out):
  // the next is due after the current back-off, which then doubles.
  void attempt_failed(Clock::time_point now);
  // An attempt that runs past its watchdog has failed.
  bool overdue(Clock::time_point now) const;
  // Logged in again: the cycle ends and the back-off starts over.
  void done();

  bool active() const { return active_; }
  bool attempt_running() const { return running_; }
  int attempts() const { return attempts_; }
  // The delay the next failure will wait.
  std::chrono::seconds next_delay() const { return delay_; }
  // When something is due next (an attempt or a watchdog), if anything.
  std::optional<Clock::time_point> next_event() const;

 private:
  bool active_ = false;
  bool running_ = false;
  int attempts_ = 0;
  std::chrono::seconds delay_ = kFirstDelay;
  Clock::time_point at_{};  // next attempt, or the running attempt's watchdog
};

}  // namespace tavrin::cli
