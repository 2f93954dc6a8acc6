// What each engine message's parameter words carry, who frees them, the
// message's short name and, for the result of a sent line, what became of
// it: one table beside the public header, keyed by its codes, read by the
// engine (for a message that reaches no receiver, or a receiver of its own
// that keeps nothing) and by every front end (for what it is handed).
// A word handed over is freed here and nowhere else.
//
// Constant data and pure functions; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "libtavrin.h"

namespace tavrin {

enum class Carries {
  kNothing,        // 0
  kNumber,         // an integer (a contact id, days, an error code, a call id)
  kTransientText,  // a body valid only during the callback (16, 17)
  kRecordGiven,    // an fx_msg sent-message record the receiver frees
  kRecordKept,     // an fx_msg the engine keeps (the time-outs: a late answer reports it)
  kTextGiven,      // a malloc'd UTF-8 string the receiver frees
  kFileOffer,      // an fx_file_offer the receiver frees, strings and all
};

// What a send result says became of the line (or SMS) it carries.
enum class Outcome {
  kNone,      // not a send result
  kAccepted,  // delivered or taken by the service
  kRefused,   // refused: the line did not go out
  kNoAnswer,  // no answer in time: the engine keeps the record, a late answer may follow
  kLimit,     // refused for the sending limit
};

struct MessageWords {
  Carries p1 = Carries::kNumber;
  Carries p2 = Carries::kNumber;
  // Short name, e.g. "chat", "login-ok", "sms sent"; "status" for a
  // contact's new status (66..74), "message" for codes without a row.
  std::string_view name = "message";
  Outcome outcome = Outcome::kNone;
};

namespace message_table {

using C = Carries;
using O = Outcome;

struct Row {
  int code;
  std::string_view name;
  Carries p1 = C::kNumber;
  Carries p2 = C::kNumber;
  Outcome outcome = O::kNone;
};

// One row per code a front end receives. The engine's internal codes (3, 9,
// 12, 145, 147, 242) never leave it and have none; 66..74 are one range.
inline constexpr Row kRows[] = {
    {FX_MSG_LOGIN_CONNECTED, "login-connected"},
    {FX_MSG_LOGIN_CHALLENGED, "login-challenged"},
    {FX_MSG_LOGIN_WRONG_PASSWORD, "login-wrong-password"},
    {FX_MSG_LOGIN_FAILED, "login-failed"},
    {FX_MSG_LOGIN_BAD_REQUEST, "login-bad-request"},
    {FX_MSG_LOGIN_NOT_FOUND, "login-not-found"},
    {FX_MSG_LOGIN_REGISTERED, "login-registered"},
    {FX_MSG_CONTACTS_LOAD_FAILED, "contacts-load-failed"},
    {FX_MSG_LOGIN_CONTACTS_LOADED, "login-contacts-loaded"},
    {FX_MSG_LOGIN_OK, "login-ok"},
    {FX_MSG_CHAT_MESSAGE, "chat", C::kTransientText},
    {FX_MSG_CHAT_MESSAGE_SO, "chat-group", C::kTransientText},
    {FX_MSG_NUDGE, "nudge"},
    {FX_MSG_SMS_OK, "sms sent", C::kRecordGiven, C::kNumber, O::kAccepted},
    {FX_MSG_SMS_FAILED, "sms failed", C::kRecordGiven, C::kNumber, O::kRefused},
    {FX_MSG_SMS_TIMEOUT, "sms not answered", C::kRecordKept, C::kNumber, O::kNoAnswer},
    {FX_MSG_SMS_REFUSED, "sms refused", C::kRecordGiven, C::kNumber, O::kLimit},
    {FX_MSG_DIALOG_TRYING, "dialog-trying"},
    {FX_MSG_DIALOG_OPEN, "dialog-open"},
    {FX_MSG_DIALOG_REFUSED, "dialog-refused"},
    {FX_MSG_CHAT_SENT, "delivered", C::kRecordGiven, C::kNumber, O::kAccepted},
    {FX_MSG_CHAT_SEND_FAILED, "not delivered", C::kRecordGiven, C::kNumber, O::kRefused},
    {FX_MSG_CHAT_SEND_TIMEOUT, "not answered", C::kRecordKept, C::kNumber, O::kNoAnswer},
    {FX_MSG_CONTACT_REFUSE_SMS_DAYS, "refuse-sms-days"},
    {FX_MSG_CONTACT_CHANGED, "contact-changed"},
    {FX_MSG_BUDDYLIST_ADDED, "list added", C::kTextGiven},
    {FX_MSG_BUDDYLIST_ADD_FAILED, "list not added", C::kTextGiven},
    {FX_MSG_BUDDYLIST_DELETED, "list deleted", C::kTextGiven},
    {FX_MSG_BUDDYLIST_DELETE_FAILED, "list not deleted", C::kTextGiven},
    {FX_MSG_BUDDYLIST_RENAMED, "list renamed", C::kTextGiven},
    {FX_MSG_BUDDYLIST_RENAME_FAILED, "list not renamed", C::kTextGiven},
    {FX_MSG_LOCALNAME_SET, "name set", C::kTextGiven},
    {FX_MSG_LOCALNAME_SET_FAILED, "name not set", C::kTextGiven},
    {FX_MSG_CONTACT_REQUEST, "contact-request", C::kTextGiven, C::kTextGiven},
    {FX_MSG_ADD_BUDDY_RESULT, "contact added"},
    {FX_MSG_SOCKET_ERROR, "socket-error"},
    {FX_MSG_DEREGISTERED, "deregistered"},
    {FX_MSG_STATE_SET, "status set"},
    {FX_MSG_STATE_SET_FAILED, "status not set"},
    {FX_MSG_STATE_SET_TIMEOUT, "status not answered"},
    {FX_MSG_IMPRESA_SET, "mood set"},
    {FX_MSG_IMPRESA_SET_FAILED, "mood not set"},
    {FX_MSG_NICKNAME_SET, "nickname set"},
    {FX_MSG_NICKNAME_SET_FAILED, "nickname not set"},
    {FX_MSG_REFUSE_SMS_DAY_SET, "refuse-sms days set"},
    {FX_MSG_REFUSE_SMS_DAY_SET_FAILED, "refuse-sms days not set"},
    {FX_MSG_BLACKLIST_ADDED, "blocked"},
    {FX_MSG_BLACKLIST_ADD_FAILED, "not blocked"},
    {FX_MSG_BLACKLIST_REMOVED, "unblocked"},
    {FX_MSG_BLACKLIST_REMOVE_FAILED, "not unblocked"},
    {FX_MSG_SCHEDULE_SMS_NOT_STORED, "scheduled sms not stored"},
    {FX_MSG_SCHEDULE_SMS_STORED, "scheduled sms stored"},
    {FX_MSG_SCHEDULE_SMS_NOT_DELETED, "scheduled sms not deleted"},
    {FX_MSG_SCHEDULE_SMS_DELETED, "scheduled sms deleted"},
    {FX_MSG_BUDDY_DELETED, "contact deleted"},
    {FX_MSG_BUDDY_DELETE_FAILED, "contact not deleted"},
    {FX_MSG_BUDDY_MOVED, "contact moved"},
    {FX_MSG_BUDDY_MOVE_FAILED, "contact not moved"},
    {FX_MSG_FILE_OFFER, "file-offer", C::kFileOffer},
    {FX_MSG_DIALOG_INVITED, "dialog-invited"},
    {FX_MSG_QUN_LIST_FAILED, "group-list-failed"},
    {FX_MSG_QUN_CHAT_SENT, "group line delivered", C::kRecordGiven, C::kNumber, O::kAccepted},
    {FX_MSG_QUN_CHAT_SEND_TIMEOUT, "group line not answered", C::kRecordKept, C::kNumber,
     O::kNoAnswer},
    {FX_MSG_QUN_CHAT_SEND_FAILED, "group line not delivered", C::kRecordGiven, C::kNumber,
     O::kRefused},
    {FX_MSG_QUN_SMS_OK, "group sms sent", C::kRecordGiven, C::kNumber, O::kAccepted},
    {FX_MSG_QUN_SMS_TIMEOUT, "group sms not answered", C::kRecordKept, C::kNumber, O::kNoAnswer},
    {FX_MSG_QUN_SMS_FAILED, "group sms failed", C::kRecordGiven, C::kNumber, O::kRefused},
    {FX_MSG_QUN_SMS_REFUSED, "group sms refused", C::kRecordGiven, C::kNumber, O::kLimit},
    {FX_MSG_NAV_BAD_ID, "nav-bad-id"},
    {FX_MSG_SCHEDULE_SMS_LIST_OK, "schedule-list-ok"},
    {FX_MSG_SCHEDULE_SMS_LIST_FAILED, "schedule-list-failed"},
};

// Every code the engine sends is below this.
inline constexpr int kCodeLimit = 256;

constexpr bool rows_fit_and_differ() {
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    if (kRows[i].code <= 0 || kRows[i].code >= kCodeLimit) return false;
    for (std::size_t j = i + 1; j < std::size(kRows); ++j)
      if (kRows[i].code == kRows[j].code) return false;
  }
  return true;
}
static_assert(rows_fit_and_differ(), "a message code has two rows or lies outside the index");

// The rows indexed by code, built at compile time.
constexpr std::array<MessageWords, kCodeLimit> index_rows() {
  std::array<MessageWords, kCodeLimit> by_code{};
  for (int code = FX_MSG_STATUS_FIRST; code <= FX_MSG_STATUS_LAST; ++code)
    by_code[std::size_t(code)].name = "status";
  for (const Row& r : kRows)
    by_code[std::size_t(r.code)] = MessageWords{r.p1, r.p2, r.name, r.outcome};
  return by_code;
}
inline constexpr std::array<MessageWords, kCodeLimit> kByCode = index_rows();

}  // namespace message_table

// The row of a code; a code the table does not name carries plain numbers.
constexpr MessageWords message_words(int code) {
  return code >= 0 && code < message_table::kCodeLimit ? message_table::kByCode[std::size_t(code)]
                                                       : MessageWords{};
}

// Whether p1 of the code is a sent-message record handed to the receiver.
constexpr bool hands_over_record(int code) {
  return message_words(code).p1 == Carries::kRecordGiven;
}

// What a send result says became of its line; kNone for other codes.
constexpr Outcome send_outcome(int code) {
  return message_words(code).outcome;
}

// Frees a file offer with its texts (null is allowed).
inline void free_file_offer(fx_file_offer* offer) {
  if (offer == nullptr) return;
  for (char* text : {offer->file_id, offer->session_id, offer->url, offer->name, offer->md5,
                     offer->transfer_type})
    std::free(text);
  std::free(offer);
}

// Frees what the message hands to its receiver (nothing else), for a
// receiver that keeps nothing or a message that reaches none.
inline void release_message(int code, std::intptr_t p1, std::intptr_t p2) {
  const auto release = [](Carries what, std::intptr_t word) {
    if (word == 0) return;
    if (what == Carries::kRecordGiven) fx_destroy_msg(reinterpret_cast<fx_msg*>(word));
    if (what == Carries::kTextGiven) std::free(reinterpret_cast<char*>(word));
    if (what == Carries::kFileOffer) free_file_offer(reinterpret_cast<fx_file_offer*>(word));
  };
  const MessageWords words = message_words(code);
  release(words.p1, p1);
  release(words.p2, p2);
}

}  // namespace tavrin
