// The group-chat invitation the login sends to every group chat once the
// group presence is subscribed: request "I" with a new call id and the
// session description, answered "Trying" (48), 200 (49, acknowledged with
// "A") or above 400 (50). Only the invitation's own answers are handled
// here; chat lines on the dialog belong to the dialog layer, which takes
// over by installing its own invite_qun hook (session_hooks.h).
// Called on the worker thread (inside the login interceptor).
#pragma once

#include <string>

#include "libtavrin.h"

namespace tavrin {

void send_qun_invitation(long qun_id, fx_msg_cb cb, void* user);

// The session description of an invitation for the connection's local
// address and port and the user's own uri.
std::string session_description(const std::string& address, int port, const std::string& own_uri);

}  // namespace tavrin
