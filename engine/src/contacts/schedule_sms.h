// Scheduled SMS kept on the server: the list fetch in two steps
// ("SSGetScheduleSmsList", then "SSGetScheduleSms" for the details), create
// ("SSSetScheduleSms") and delete ("SSDeleteScheduleSms"). The list hangs
// from the user record and is changed under the store lock; its receivers
// are references to the store's accounts (EngineContacts::install and
// store_account keep them pointing at live accounts). The exported functions
// live in schedule_sms.cpp. Requests queue from any thread; answers run on
// the worker thread and post after the lock is released.
#pragma once

#include "libtavrin.h"

namespace tavrin::contacts {

// The fetch: 244 (0, 0) once the list and its details are stored (at once
// for an empty list), 245 (0, 0) when either step fails, to (cb, user).
void request_schedule_list(fx_msg_cb cb, void* user);
// The login's timer (1, 6): the fetch with results to the system callback.
void request_schedule_list_after_login();

}  // namespace tavrin::contacts
