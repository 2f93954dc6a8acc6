#include "storage/ChatLogDate.h"

#include <cstdio>
#include <cstdlib>

namespace tavrin::storage {

namespace {

std::u16string widen(const char* text) {
  std::u16string out;
  for (; *text; ++text) out += char16_t(static_cast<unsigned char>(*text));
  return out;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long daysOf(int year, int month, int day) {
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yoe = year - era * 400;
  const long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

std::u16string isoLocal(std::time_t instant) {
  std::tm local{};
  localtime_r(&instant, &local);
  const long offset = local.tm_gmtoff / 60;
  const long size = offset < 0 ? -offset : offset;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', size / 60, size % 60);
  return widen(buf);
}

std::u16string isoLocalOn(std::time_t day, std::u16string_view timeOfDay) {
  const auto digit = [&](size_t i) { return timeOfDay[i] >= u'0' && timeOfDay[i] <= u'9'; };
  if (timeOfDay.size() != 8 || timeOfDay[2] != u':' || timeOfDay[5] != u':' || !digit(0) ||
      !digit(1) || !digit(3) || !digit(4) || !digit(6) || !digit(7))
    return isoLocal(day);
  const auto two = [&](size_t i) { return (timeOfDay[i] - u'0') * 10 + (timeOfDay[i + 1] - u'0'); };
  const int h = two(0), m = two(3), sec = two(6);
  if (h > 23 || m > 59 || sec > 60) return isoLocal(day);
  std::tm local{};
  localtime_r(&day, &local);
  local.tm_hour = h;
  local.tm_min = m;
  local.tm_sec = sec;
  local.tm_isdst = -1;
  const std::time_t at = std::mktime(&local);
  return at == std::time_t(-1) ? isoLocal(day) : isoLocal(at);
}

std::optional<LocalDateTime> parseIsoLocal(std::u16string_view text) {
  // "YYYY-MM-DDThh:mm:ss+hh:mm", exactly.
  static constexpr std::u16string_view kShape = u"0000-00-00T00:00:00+00:00";
  if (text.size() != kShape.size()) return std::nullopt;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t want = kShape[i], got = text[i];
    const bool ok = want == u'0'   ? got >= u'0' && got <= u'9'
                    : want == u'+' ? got == u'+' || got == u'-'
                                   : got == want;
    if (!ok) return std::nullopt;
  }
  const auto number = [&](size_t at, size_t n) {
    int v = 0;
    for (size_t i = at; i < at + n; ++i) v = v * 10 + (text[i] - u'0');
    return v;
  };
  LocalDateTime t{number(0, 4), number(5, 2),  number(8, 2), number(11, 2),
                  number(14, 2), number(17, 2), 0};
  const int oh = number(20, 2), om = number(23, 2);
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 60 || oh > 14 || om > 59)
    return std::nullopt;
  t.offsetMinutes = (text[19] == u'-' ? -1 : 1) * (oh * 60 + om);
  return t;
}

std::u16string shownDateTime(std::u16string_view localTime, std::u16string_view timeOfDay,
                             std::time_t now) {
  const auto when = parseIsoLocal(localTime);
  if (!when) return std::u16string(timeOfDay);
  std::tm today{};
  localtime_r(&now, &today);
  const long days = daysOf(today.tm_year + 1900, today.tm_mon + 1, today.tm_mday) -
                    daysOf(when->year, when->month, when->day);
  char clock[16];
  std::snprintf(clock, sizeof clock, " %02d:%02d:%02d", when->hour, when->minute, when->second);
  std::u16string out;
  if (days == 0) {
    out = u"今天";
  } else if (days == 1) {
    out = u"昨天";
  } else {
    if (when->year != today.tm_year + 1900) out = widen(std::to_string(when->year).c_str()) + u"年";
    out += widen(std::to_string(when->month).c_str()) + u"月" +
           widen(std::to_string(when->day).c_str()) + u"日";
  }
  return out + widen(clock);
}

}  // namespace tavrin::storage
