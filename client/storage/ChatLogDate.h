// Dates of logged lines. The log's Time column holds only the time of day
// ("hh:mm:ss"); beside it every line written now carries its full local date
// and time with the zone offset, ISO 8601 ("2026-12-09T09:13:41+08:00"), in
// the column LocalTime. Lines logged before that column existed have it
// empty: a time of day alone does not fix a date. Pure functions, any thread.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::storage {

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int offsetMinutes = 0;  // east of Greenwich
};

// The local date and time of an instant, ISO 8601 with the offset.
std::u16string isoLocal(std::time_t instant);
// The local date of `day` at the time of day "hh:mm:ss" (a line logged now
// with its Time); `day` itself when the text is no time of day.
std::u16string isoLocalOn(std::time_t day, std::u16string_view timeOfDay);
// Reads what isoLocal writes; nullopt for anything else.
std::optional<LocalDateTime> parseIsoLocal(std::u16string_view text);

// How a line's moment is shown: "今天", "昨天", "12月9日" (another year:
// "2025年12月9日") and the time of day, by the calendar day of `now` on this
// device. A line without a date shows its stored time of day alone.
std::u16string shownDateTime(std::u16string_view localTime, std::u16string_view timeOfDay,
                             std::time_t now = std::time(nullptr));

}  // namespace tavrin::storage
