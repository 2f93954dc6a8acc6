// The clock that decides when a scheduled SMS falls due. Normally the
// system clock; with --test-clock FILE it is the time written in FILE
// ("YYYY-MM-DD HH:MM[:SS]", local time, as send times are), re-read at
// every look, so a test moves the server's schedule forward by rewriting
// the file instead of waiting. Event-loop thread only.
#pragma once

#include <string>

namespace tavrin::server {

// Seconds since the epoch by the schedule's clock; -1 while a test clock
// file is missing or unreadable (then nothing falls due).
long long scheduleNow(const std::string& testClockFile);

}  // namespace tavrin::server
