#include "screens/sms/PickedTime.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace tavrin::screens {

namespace {

// v + delta wrapped into lo..hi.
uint16_t wrap(int v, int delta, int lo, int hi) {
  const int span = hi - lo + 1;
  return uint16_t(lo + ((v - lo + delta) % span + span) % span);
}

}  // namespace

int days_in_month(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

PickedTime PickedTime::from_tm(const std::tm& t) {
  PickedTime p;
  p.year = uint16_t(std::clamp(t.tm_year + 1900, kFirstYear, kLastYear));
  p.month = uint16_t(std::clamp(t.tm_mon + 1, 1, 12));
  p.day = uint16_t(std::clamp(t.tm_mday, 1, days_in_month(p.year, p.month)));
  p.hour = uint16_t(std::clamp(t.tm_hour, 0, 23));
  p.minute = uint16_t(std::clamp(t.tm_min, 0, 59));
  return p;
}

void PickedTime::step(TimeField field, int delta) {
  if (field == TimeField::kYear) {
    year = wrap(year, delta, kFirstYear, kLastYear);
    day = uint16_t(std::min<int>(day, days_in_month(year, month)));
    return;
  }
  if (field == TimeField::kMonth) {
    // Months carry into the year; the day follows into a shorter month.
    const int months = (year - kFirstYear) * 12 + (month - 1) + delta;
    if (months < 0 || months >= (kLastYear - kFirstYear + 1) * 12) return;
    year = uint16_t(kFirstYear + months / 12);
    month = uint16_t(months % 12 + 1);
    day = uint16_t(std::min<int>(day, days_in_month(year, month)));
    return;
  }
  // Days, hours and minutes carry as a clock does, so that 08:59 plus one
  // minute is 09:00, never 08:00 (a time already gone by).
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day + (field == TimeField::kDay ? delta : 0);
  t.tm_hour = hour + (field == TimeField::kHour ? delta : 0);
  t.tm_min = minute + (field == TimeField::kMinute ? delta : 0);
  t.tm_isdst = 0;
  if (timegm(&t) == time_t(-1)) return;
  const int new_year = t.tm_year + 1900;
  if (new_year < kFirstYear || new_year > kLastYear) return;  // the picker's ends hold
  *this = from_tm(t);
}

uint16_t PickedTime::value(TimeField field) const {
  switch (field) {
    case TimeField::kYear:
      return year;
    case TimeField::kMonth:
      return month;
    case TimeField::kDay:
      return day;
    case TimeField::kHour:
      return hour;
    case TimeField::kMinute:
      return minute;
  }
  return 0;
}

std::string PickedTime::send_time() const {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:00", year, month, day, hour, minute);
  return buf;
}

bool PickedTime::before(const std::tm& now) const {
  return std::tuple(int(year), int(month), int(day), int(hour), int(minute)) <
         std::tuple(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min);
}

}  // namespace tavrin::screens
