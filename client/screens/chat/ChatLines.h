// The lines of a conversation as the chat window shows and logs them, for
// the chat window and for the main window, which logs a contact's lines the
// moment they arrive whether or not a chat shows them: the received lines
// fetched from the engine ("name：text" at the server's time), a sent line
// with its state prefix, and the signed-in user's chat log. UI thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ChatLogStore.h"

namespace tavrin::screens::chat {

struct ChatLine {
  std::u16string text;
  std::u16string time;  // time of day, the log's Time
  std::u16string when;  // local date and time (storage::isoLocal)
};

// Takes every line of the contact waiting in the engine's queue, oldest
// first: the sender's name, "：" and the text without its formatting, at the
// server's date as local time of day and as a local date and time (now
// when the date cannot be read).
// Each goes to `keep`, which shows or stores it and says whether it did. A
// line kept is let go: the engine answers the service for it only then. A
// line not kept is held unanswered and the taking stops, so the lines after
// it stay with the engine and the service keeps every unanswered one for a
// later login. Held lines are offered to `keep` again, first, at the next
// call for their sender. `keep` takes a line's texts only when it keeps
// it. False when a line was not kept. An SMS delivery report an open SMS
// screen claims goes there instead (SmsReports.h).
bool take_received(long contact_id, std::u16string_view name,
                   const std::function<bool(ChatLine&)>& keep);

// Lets go of the held lines without an answer. Only once the connection
// they came on is gone (a relogin, a new sign-in): the engine then answers
// nothing for them, and the service hands them out again.
void drop_held_lines();
// How many lines are held, for tests.
size_t held_line_count();

// Lets go of the waiting lines of a sender the client does not show (one
// it does not know); a delivery report among them still reaches the SMS
// screen that claims it, as for the SMS to the user's own phone.
void let_go_unshown(long contact_id);

// An engine string handed over as new, converted and freed (null: empty).
std::u16string take_engine_text(char* text);

// A line's text as the engine gives it back in a record: without its
// formatting (fx_msg_no_format).
std::u16string plain_text(const char* utf8);

// A sent line in a state: the state's prefix and the text.
std::u16string sent_line(std::u16string_view prefix, std::u16string_view text);

// The chat log of the signed-in user (table "tab<uid>") in the history database.
storage::ChatLogStore signed_in_chat_log();

}  // namespace tavrin::screens::chat
