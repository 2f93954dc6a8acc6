// Commands: the requests the engine sends to the service as the logged-in
// user, and the plumbing every one of them shares:
//   - the origin of each request: the SIP domain (engine settings) and the
//     login id the registration set;
//   - send_command: an "S" request naming its command in "N", with its
//     transaction registered before it is queued;
//   - the general success test of an answer, and the two small transaction
//     helpers (freeing a ReplyTo context, forgetting an answer).
// Any thread sends; handlers run on the worker. The login id is guarded by
// its own lock, a leaf.
#pragma once

#include <cstdint>
#include <string>

#include "frame/callbacks.h"
#include "sipc/message.h"
#include "sipc/transactions.h"

namespace tavrin {

// The "F" value and SIP domain of every request.
sipc_origin request_origin();
// Set by the registration; emptied by fx_terminate.
void set_login_id(std::string id);

// A response counts as successful when its status is 200 or its reason
// phrase contains "OK", and its body was not dropped as too long.
bool is_success(const sipc_message& m);

// Builds request "S" with a new call id, sequence number 1, header "N" and
// the body (none when empty); registers handler (with user and free_fn,
// which owns user) for the call id, then queues it. Returns the call id.
// max_body: how long an answer body the handler takes (0: the
// ordinary limit, sipc_max_body).
int32_t send_command(const char* name, const std::string& body, TransactionHandler handler,
                     void* user, TransactionFree free_fn, size_t max_body = 0);

// The transaction free function of a heap ReplyTo.
void free_reply_to(void* user);

// Handler that only forgets its transaction (answers whose content is unused).
void forget_transaction(sipc_message& m, void* user);

}  // namespace tavrin
