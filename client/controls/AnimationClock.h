// Time as the controls see it: the millisecond clock that stylus velocities
// are measured with, and the pause between animation frames (waited out, or
// a frame scheduled for later). Both are the
// machine's own unless a test installs replacements, so tests drive time
// themselves and never wait on the wall clock. UI thread only (the hooks are
// installed before any control runs and read on the UI thread).
#pragma once

#include <cstdint>
#include <functional>

namespace tavrin::controls {

// Milliseconds of a monotonic clock.
int64_t now_ms();
// Pauses between two animation frames. Sent messages from other threads
// (an inertia step, say) are handled meanwhile so they never wait on a
// sleeping UI thread.
void wait_frame(int ms);
// Runs fn on the UI thread ms from now, from a timer: the thread handles
// input and messages meanwhile. Under a test clock it advances the clock by
// ms and runs fn at once, so an animation plays out within the call.
void after_frame(int ms, std::function<void()> fn);

// Replaces the clock and the frame pause; null restores the machine's.
void set_clock_for_tests(std::function<int64_t()> now, std::function<void(int)> wait);

}  // namespace tavrin::controls
