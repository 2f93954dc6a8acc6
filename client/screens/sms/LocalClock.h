// The device's local time as the SMS screens read it (the picker's first
// value, the refusal of a time gone by). Tests pin it. UI thread only.
#pragma once

#include <ctime>
#include <functional>

namespace tavrin::screens {

std::tm local_now();
// Replaces the clock (nullptr: the system's local time again).
void set_local_clock_for_tests(std::function<std::tm()> clock);

}  // namespace tavrin::screens
