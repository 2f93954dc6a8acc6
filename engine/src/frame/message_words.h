// What a message's parameter words carry, per message code, and who frees
// them: the one rule of the engine for everything a message hands over.
// Every path that can end a message's life uses it: a post that reaches no
// callback (Callbacks::post), the login interceptor with no client callback,
// and the engine's own receivers that keep nothing (the synchronous fs_
// forms). A front end reads the same table from its side (see the client's
// bridge): a word it is handed it frees exactly as described here.
//
// Pure functions of the code; any thread.
#pragma once

#include <cstdint>

#include "libtavrin.h"

namespace tavrin {

enum class Carries {
  kNothing,        // 0
  kNumber,         // an integer (a contact id, days, an error code, a call id)
  kTransientText,  // a body valid only during the callback (16, 17)
  kRecordGiven,    // an fx_msg sent-message record the receiver frees
  kRecordKept,     // an fx_msg the engine keeps (the time-outs: a late answer reports it)
  kTextGiven,      // a malloc'd text the receiver frees
  kFileOffer,      // an fx_file_offer the receiver frees, strings and all
};

struct MessageWords {
  Carries p1 = Carries::kNumber;
  Carries p2 = Carries::kNumber;
};

// The row of a code; a code the table does not name carries plain numbers.
MessageWords message_words(int code);

// Whether p1 of the code is a sent-message record handed to the receiver.
inline bool hands_over_record(int code) {
  return message_words(code).p1 == Carries::kRecordGiven;
}

// Frees what the message hands to its receiver (nothing else), for a
// receiver that keeps nothing or a message that reaches none.
void release_message(int code, intptr_t p1, intptr_t p2);

// Frees a file offer with its texts (null is allowed).
void free_file_offer(fx_file_offer* offer);

}  // namespace tavrin
