// The requests the login sequence makes of the server besides registration
// and presence: the user's personal information and the contact list (on
// 3), and after 14 the own-info lookup (timer (1, 4)) and the offline
// messages (timer (1, 5)). Queued from the worker or timer thread; answers
// change the user record and the store under the store lock.
#pragma once

#include "libtavrin.h"

namespace tavrin {

// "GetPersonalInfo": the answer's `personal` replaces the user's; no message.
void request_personal_info();
// "GetContactList": 9 (store replaced, the user's own entry last; an
// unreadable body keeps the old store) or 10 to (cb, user).
void request_contact_list(fx_msg_cb cb, void* user);
// "GetUserInfo" without body: the user's own uri, mobile number and user
// status from the `results`/`user` answer; no message.
void request_own_info();
// "GetOfflineMessages"; the answer only ends the transaction.
void request_offline_messages();

}  // namespace tavrin
