// Chat traffic the server starts: the unsolicited-request dispatcher (every
// message whose call id has no transaction), incoming chat lines with the
// blacklist filter and the message queue (16, 17), nudges (19), incoming
// invitations (137), and the peer's in-dialog "IN" and "O" requests.
// Worker thread only.
#pragma once

namespace tavrin {
class sipc_message;
}

namespace tavrin::im {

// Installed as the wire's request dispatcher.
void request_dispatcher(sipc_message& m);

// An "M" request, in or outside a dialog: queued and reported unless the
// sender is blacklisted, and answered 200 once the client has destroyed the
// record it took; a blacklisted sender's line is answered 200 at once.
// Nothing at all while no system callback is set.
void handle_incoming_message(const sipc_message& m);
// An "IN" request on a dialog: a nudge is answered and reported (19); any
// other body is a file offer (file_offer_hook).
void handle_info(const sipc_message& m);
// An "O" request on a dialog: answered 200 with its own body.
void answer_other(const sipc_message& m);
// An "I" request: the engine accepts it (137). In dialogs.cpp.
void accept_invitation(const sipc_message& m);

// Receives the "IN" requests of a dialog that are not nudges (file offers);
// none until the wiring installs it.
using InfoHook = void (*)(const sipc_message& m);
void set_file_offer_hook(InfoHook hook);

}  // namespace tavrin::im
