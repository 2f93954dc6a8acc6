// Registration: the two-step "R" exchange on call id 1 with the digest
// challenge loop, the failure mapping, and the later traffic of call id 1
// (keep-alive answers, the server's "BN" events about the registration).
//
// registration_start runs on the timer thread (inside the login task) and
// blocks while it connects; the handler runs on the worker thread. Results
// go to the callback given to registration_start (the login interceptor)
// until the registration succeeds, then to the system callback.
#pragma once

#include <string>

#include "libtavrin.h"

namespace tavrin {

class sipc_message;

// The registration body announcing the presence value of the login status.
std::string registration_body(int login_status);

// Login status (a status code) to the presence value the server is told.
const char* presence_value_of(int status_code);

// 400 -> 6, 401 and 406 -> 4, 404 -> 7, 410 -> 242, anything else -> 5.
int registration_failure_code(int status);

// Stores the id and password in the user record, resets and connects, and
// sends the first "R" (posting 1). On a failed connect posts 5. Returns 1
// when the request was queued.
int registration_start(const std::string& login_id, const std::string& password, fx_msg_cb cb,
                       void* user);

// Keep-alive: "R" on call id 1 with its next sequence number, no body.
void send_keepalive();
// Logout: "R" on call id 1 with its next sequence number and "X: 0".
void send_logout();

}  // namespace tavrin
