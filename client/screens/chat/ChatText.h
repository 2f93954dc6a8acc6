// The chat window's rules that need no window: line prefixes, the time of
// day, the server's date turned into local time, line heights, the title.
// The chat-log viewer shares the log heights. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::screens::chat {

// A sent line's state is its prefix, on screen and in the log: waiting for
// the service's answer, taken by it, or not delivered. Logs written before
// lines had a pending state hold only the last two, and read the same.
inline constexpr std::u16string_view kPendingPrefix = u"发送中：";   // sent, no answer yet
inline constexpr std::u16string_view kOwnerPrefix = u"机主：";       // the service took it
inline constexpr std::u16string_view kFailedPrefix = u"发送失败：";  // refused or not answered
inline constexpr std::u16string_view kNameColon = u"：";             // after a sender's name
// The one contact id that never gets a title.
inline constexpr long kNoTitleContact = 10000;

// "%02d:%02d:%02d"
std::u16string time_of_day(int hours, int minutes, int seconds);
// The local time of day now.
std::u16string local_time_now(std::time_t now = std::time(nullptr));
// The device's standard time-zone bias in minutes, positive west of Greenwich.
int standard_bias_minutes();

// A server date ("Tue, 12 Mar 2024 23:30:05 GMT") as the local time of day
// with the bias: hours and minutes shifted and wrapped into one day, the
// seconds kept. nullopt when the date cannot be read.
std::optional<std::u16string> server_date_to_local(std::string_view date, int bias_minutes);

// The instant a server date ("Tue, 12 Mar 2024 23:30:05 GMT") names;
// nullopt when it cannot be read.
std::optional<std::time_t> server_date_instant(std::string_view date);

// Item heights by the line's length in characters (UTF-16 units).
int live_line_height(size_t length);    // a line added while the chat is open
int stored_line_height(size_t length);  // a line loaded from the log
int log_viewer_height(size_t length);   // a line in the chat-log viewer

struct ChatTitle {
  std::u16string text;
  bool sms_mode = false;  // the mode after the title: a non-PC contact forces SMS
};
// The window's title for the contact's display name; has_record: the contact
// list holds the contact; pc_user: it uses a PC-type client.
ChatTitle chat_title(std::u16string_view name, bool has_record, bool pc_user, bool sms_mode);

// Text as typed, without its TAB and line-feed characters.
std::u16string without_tabs_and_line_feeds(std::u16string_view text);

}  // namespace tavrin::screens::chat
