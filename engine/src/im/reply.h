// Reply: where the results of one chat or SMS request go (the request
// callback and its user data; a null callback means the system callback),
// plus a hold on whatever the user data points to. The synchronous fs_
// forms put their result word behind the hold, so the word lives exactly as
// long as some pending send, delayed send or SMS context can still post to
// it, and is freed with the last of them. Copied freely between threads.
#pragma once

#include <cstdint>
#include <memory>

#include "frame/engine.h"
#include "libtavrin.h"

namespace tavrin::im {

struct Reply {
  fx_msg_cb cb = nullptr;
  void* user = nullptr;
  std::shared_ptr<void> hold;

  // To the request callback, else the system callback. A final result that
  // reaches neither frees its record: nobody else ever could.
  void post(int code, intptr_t p1, intptr_t p2) const;
};

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

// Whether a posted result hands its record (p1) to the receiver.
bool passes_record(int code);

}  // namespace tavrin::im
