// Group chats after login: the group-chat list ("PGGetGroupList"), the
// group presence subscription ("SUB" PGPresence) whose events fill each
// group's info, and the member lists ("PGGetGroupMembers"). The login
// sequence drives them with its own callback and continues on 145, 146
// and 147. Requests queue from any thread; answers and events run on the
// worker thread and change the store under the store lock.
#pragma once

#include "libtavrin.h"

namespace tavrin::contacts {

// 145 (status 200, the list replaced) or 146 to (cb, user).
void request_qun_list(fx_msg_cb cb, void* user);
// 147 to (cb, user) once the server answered 200, or at once when no group
// chat has a uri.
void subscribe_quns(fx_msg_cb cb, void* user);
// The member list of one group chat (a group-chat id with a uri); no message.
void request_qun_members(long qun_id);
// A group presence event body ("BN" on the group subscription's call).
void apply_qun_events(const char* body);

}  // namespace tavrin::contacts
