// What the chat and SMS results carry: the sent-message record of a line or
// an SMS (owned until a final result hands it to the receiver, see
// message_words.h), and the group-chat variants of the result codes.
// Results go out through a ReplyTo (frame/callbacks.h), whose hold keeps an
// fs_ form's result word alive while a pending send may still post to it.
#pragma once

#include <cstdint>
#include <memory>

#include "frame/callbacks.h"
#include "libtavrin.h"

namespace tavrin::im {

// A sent-message record, owned until it is handed to a receiver.
struct MsgDeleter {
  void operator()(fx_msg* m) const { fx_destroy_msg(m); }
};
using MsgPtr = std::unique_ptr<fx_msg, MsgDeleter>;

// The sent-message record of a result: target id and a copy of the text.
MsgPtr sent_record(long target_id, const char* text);

// The group-chat variant of a result code when the id is a group chat's
// (52, 54, 53, 32, 34, 33, 36 become 148 to 154); else the code itself.
int result_code(int code, long id);

}  // namespace tavrin::im
