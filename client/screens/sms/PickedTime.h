// The five fields of the date-and-time picker (year, month, day, hour,
// minute) and their arrows. Each field stays inside its calendar range and
// wraps within it: month 1-12, day within the chosen month, hour 0-23,
// minute 0-59, year 2000-2099; a change of year or month pulls the day
// back into the month. Seconds are always 00. Pure values, any thread.
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
  // One field up (+1) or down (-1), wrapping within its range.
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
