// Presence: the user's own status ("SetPresence" with its 15 s time-out),
// the contacts' presence subscription and its answer, single-contact
// subscription and unsubscription, unsubscribing everything at logout, and
// the presence events applied to the contact store.
//
// Requests may be built on any thread (they only queue); answers, events and
// the time-out run on the worker and timer threads. The store is changed
// under the store lock; messages are posted after it is released.
#pragma once

#include "libtavrin.h"

namespace tavrin::contacts {

// Presence value received -> status code: 100 gives 73, an unknown value 68.
int status_of_presence_value(int value);

// fx_set_user_state: 1 and nothing sent for a code outside 66..74, else 0
// once "SetPresence" is queued. Results 99, 100, 101 go to (cb, user).
int set_user_state(int code, fx_msg_cb cb, void* user);

// Subscribes to every buddy's presence (and the user's own, when the own
// uri is known) on a new call; 12 goes to (cb, user) once the server
// answered 200, or at once when there is nothing to subscribe.
void subscribe_contacts(fx_msg_cb cb, void* user);
// One contact (after an add or an accepted request), on the remembered call.
void subscribe_contact(long id);
// One contact's unsubscription (after a delete).
void unsubscribe_contact(long id);
// Every contact (logout); nothing without a subscription.
void unsubscribe_all();

// A presence event body ("BN" on the subscription's call).
void apply_presence_events(const char* body);

}  // namespace tavrin::contacts
