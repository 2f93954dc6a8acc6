// The five fields of the date-and-time picker (year, month, day, hour,
// minute) and their arrows. Month, day, hour and minute step as a clock
// does, carrying into the field above (08:59 plus a minute is 09:00); the
// year wraps within 2000-2099, and a step past the picker's first or last
// minute is refused. A change of year or month pulls the day back into the
// month. Seconds are always 00. Pure values, any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace tavrin::screens {

enum class TimeField { kYear, kMonth, kDay, kHour, kMinute };

struct PickedTime {
  static constexpr int kFirstYear = 2000, kLastYear = 2099;

  uint16_t year = kFirstYear, month = 1, day = 1, hour = 0, minute = 0;

  // The minute of a local time (held to the ranges above).
  static PickedTime from_tm(const std::tm& t);
  // One field up (+1) or down (-1).
  void step(TimeField field, int delta);
  uint16_t value(TimeField field) const;
  // "%04d-%02d-%02d %02d:%02d:00", the send time the engine takes.
  std::string send_time() const;
  // Whether this minute lies before the minute of `now`.
  bool before(const std::tm& now) const;

  friend bool operator==(const PickedTime&, const PickedTime&) = default;
};

int days_in_month(int year, int month);

}  // namespace tavrin::screens
