// SMS: one "M" request outside any dialog per message, with the service
// command in "N" ("SendSMS", "SendCatSMS" with the long-SMS flag,
// "PGSendSMS" to a group chat), to a contact, to the user's own phone or to
// a mobile number.
//
// Ownership: each request has a context (reply, sent-message record) owned
// by its transaction entry and freed when the entry is removed. A final
// answer hands the record to the receiver (32, 33, 36 and 151, 153, 154);
// the time-out (34, 152) only reports it and leaves the transaction in
// place, so a late answer still posts its result with the same record.
// The time-out timer carries the call id, never the context.
//
// Threads: sending on the caller's thread, the answer on the worker, the
// time-out on the timer thread. The answer removes the time-out timer
// before it posts, which waits for a time-out handler that is running, so
// the time-out's report always comes before the record is handed over.
#pragma once

#include "im/reply.h"

namespace tavrin::im {

inline constexpr uint32_t kSmsTimeoutTicks = 3000;

// fx_send_sms: to the own uri for the own id, else to the account or group
// chat with that id. 0 for id 0, an empty text or no uri.
int send_sms(long id, const char* text, const ReplyTo& reply);
// fx_send_sms_to_self: 0 for an empty text or while the own uri is unknown.
int send_sms_to_self(const char* text, const ReplyTo& reply);
// fx_send_sms_by_mobile_no: to "tel:NUMBER", no time-out; results carry the
// mobile-derived id of that uri.
int send_sms_by_mobile(const char* number, const char* text, const ReplyTo& reply);

}  // namespace tavrin::im
