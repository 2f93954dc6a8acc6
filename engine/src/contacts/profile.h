// The user's own profile on the server: mood text, nickname and refuse-SMS
// days ("SetPersonalInfo", "SetPresence"), the score ("GetScore") and a
// contact's profile ("GetContactsInfo"). The exported setters live in
// profile.cpp; the score and contact-profile requests are the request hooks
// the accessors call (EngineContacts::RequestHooks, installed by the wiring).
// Requests queue from any thread; answers run on the worker thread, change
// the user record or the store under the store lock and post afterwards.
#pragma once

#include <cstddef>

namespace tavrin::contacts {

inline constexpr std::size_t kImpresaLimit = 256;
inline constexpr std::size_t kNicknameLimit = 64;

// "GetScore": the answer's value (0 when unreadable, whatever the status)
// replaces the score. No message.
void request_score();
// "GetContactsInfo" for the uri: on 200 each known contact's profile is
// filled and 80 (0, id) posted to the system callback. 1 (queued).
int request_contact_info(const char* uri);

}  // namespace tavrin::contacts
