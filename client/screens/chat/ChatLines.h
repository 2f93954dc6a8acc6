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
// Each goes to `keep` (which shows or logs it) before its record is let go:
// the engine answers the service for a line only then. An SMS delivery
// report an open SMS screen claims goes there instead (SmsReports.h).
void take_received(long contact_id, std::u16string_view name,
                   const std::function<void(ChatLine&)>& keep);

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
