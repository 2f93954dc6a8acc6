// The requests the login sequence makes of the server besides registration
// and presence: the user's personal information and the contact list (on
// 3), the own-info lookup (the last step before 14, when the own uri is not
// known yet) and, after 14, the offline messages (timer (1, 5)). Queued from
// the worker or timer thread; answers change the user record and the store
// under the store lock.
#pragma once

#include <functional>

#include "libtavrin.h"

namespace tavrin {

// "GetPersonalInfo": the answer's `personal` replaces the user's; no message.
void request_personal_info();
// "GetContactList": 9 (store replaced, the user's own entry last; an
// unreadable body keeps the old store) or 10 to (cb, user).
void request_contact_list(fx_msg_cb cb, void* user);
// "GetUserInfo" without body: the user's own uri, mobile number and user
// status from the `results`/`user` answer; no message. then runs on the
// worker once the answer is in, whatever it says (never when the
// transaction is dropped unanswered: a re-login or logout).
void request_own_info(std::function<void()> then);
// "GetOfflineMessages"; the answer only ends the transaction.
void request_offline_messages();

}  // namespace tavrin
