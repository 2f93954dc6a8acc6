// The chat and SMS module's place in the engine: fx_init installs the
// wire's request dispatcher and the session's dialog hooks (group-chat
// invitations at login, a contact going offline, clearing at re-login and
// logout) and, once, the clearing of the dialog table at fx_terminate.
#pragma once

namespace tavrin::im {

void install();

}  // namespace tavrin::im
