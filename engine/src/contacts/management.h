// Contact management: the user's contact list changed on the server (add by
// Tavrin number or mobile number with the fallback to a mobile buddy,
// delete, move, local name, buddy lists, blacklist). The exported fx_/fs_
// functions live in management.cpp; each builds its command, queues it and
// returns; the answer runs on the worker thread, changes the store under the
// store lock and then posts its message (after the lock is released).
#pragma once

#include "roster/engine_contacts.h"
#include "roster/records.h"

namespace tavrin::contacts {

// Puts an account into the installed store (replacing one with its id) and
// points scheduled-SMS receivers that held the replaced account at the new
// one. Requires the store lock and an installed store; returns the stored
// account.
fx_account* store_account(EngineContacts& state, AccountPtr account);

// The local name sent with an add request or a rename: at most 10 bytes,
// cut at a whole UTF-8 character.
inline constexpr std::size_t kLocalNameLimit = 10;

}  // namespace tavrin::contacts
