#include "screens/chat/ChatText.h"

#include <cstdio>
#include <cstring>

#include "storage/ChatLogStore.h"

namespace tavrin::screens::chat {

std::u16string time_of_day(int hours, int minutes, int seconds) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hours, minutes, seconds);
  return std::u16string(buf, buf + std::strlen(buf));
}

std::u16string local_time_now(std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  return time_of_day(local.tm_hour, local.tm_min, local.tm_sec);
}

int standard_bias_minutes() {
  tzset();
  return int(timezone / 60);  // seconds west of Greenwich, standard time
}

std::optional<std::u16string> server_date_to_local(std::string_view date, int bias_minutes) {
  // "%s %d %s %d %d:%d:%d %s": weekday with its comma, day, month, year,
  // hours, minutes, seconds, zone name.
  const std::string text(date.substr(0, 256));
  char weekday[32], month[32], zone[32];
  int day = 0, year = 0, hours = 0, minutes = 0, seconds = 0;
  if (std::sscanf(text.c_str(), "%31s %d %31s %d %d:%d:%d %31s", weekday, &day, month, &year,
                  &hours, &minutes, &seconds, zone) < 7)
    return std::nullopt;
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 60)
    return std::nullopt;
  int of_day = hours * 60 + minutes - bias_minutes;
  of_day %= 1440;  // a bias is at most a day either way; wrap whatever it is
  if (of_day < 0) of_day += 1440;
  return time_of_day(of_day / 60, of_day % 60, seconds);
}

std::optional<std::time_t> server_date_instant(std::string_view date) {
  const std::string text(date.substr(0, 256));
  char weekday[32], month[32];
  int day = 0, year = 0, hours = 0, minutes = 0, seconds = 0;
  if (std::sscanf(text.c_str(), "%31s %d %31s %d %d:%d:%d", weekday, &day, month, &year, &hours,
                  &minutes, &seconds) < 7)
    return std::nullopt;
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int m = -1;
  for (int i = 0; i < 12; ++i)
    if (std::strncmp(month, kMonths[i], 3) == 0) m = i;
  if (m < 0 || day < 1 || day > 31 || year < 1970 || year > 9999 || hours < 0 || hours > 23 ||
      minutes < 0 || minutes > 59 || seconds < 0 || seconds > 60)
    return std::nullopt;
  std::tm utc{};
  utc.tm_year = year - 1900;
  utc.tm_mon = m;
  utc.tm_mday = day;
  utc.tm_hour = hours;
  utc.tm_min = minutes;
  utc.tm_sec = seconds;
  return timegm(&utc);
}

int live_line_height(size_t n) {
  if (n >= 101) return 170;
  if (n >= 81) return 130;
  if (n >= 61) return 110;
  if (n >= 41) return 90;
  return 70;
}

int stored_line_height(size_t n) {
  return n >= 61 && n <= 80 ? 120 : live_line_height(n);
}

int log_viewer_height(size_t n) {
  if (n < 36) return 70;
  if (n >= 80) return 190;
  return 130;
}

ChatTitle chat_title(std::u16string_view name, bool has_record, bool pc_user, bool sms_mode) {
  const std::u16string n(name);
  if (!has_record) return {u"与 " + n + u" 陌生人聊天中", sms_mode};
  if (!pc_user) return {u"与 " + n + u" 聊天中（短信用户）", true};
  return {u"与 " + n + (sms_mode ? u" 聊天中（短信模式）" : u" 聊天中（聊天模式）"), sms_mode};
}

std::u16string without_tabs_and_line_feeds(std::u16string_view text) {
  return storage::ChatLogStore::withoutTabsAndLineFeeds(text);
}

}  // namespace tavrin::screens::chat
