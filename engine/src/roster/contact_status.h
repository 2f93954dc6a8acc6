// Status codes and the derived views of a contact the client shows: its
// status, whether it is online, its display name, its group id. Callers hold
// the store lock (EngineContacts) while these read the store.
#pragma once

#include <string>

#include "libtavrin.h"
#include "roster/engine_contacts.h"

namespace tavrin::contacts {

enum StatusCode : int {
  kStatusNone = 0,
  kStatusOnline = 66,   // presence 400
  kStatusBusy = 67,     // presence 600
  kStatusOffline = 68,  // presence 0; for the user: hidden
  kStatusAway = 69,     // presence 300
  kStatus850 = 70,
  kStatus500 = 71,
  kStatus150 = 72,
  kStatus100 = 73,
  kStatusOwn100 = 74,      // sent only by the user
  kStatusUnanswered = 75,  // relation status 0
  kStatusRelation2 = 76,   // relation status 2
  kStatusBlocked = 77,
  kStatusMobile = 78,  // mobile buddy: no presence
};

// The status of an account in this order: none 0, the user's own id the
// user's state, blacklisted 77, relation 0 75, relation 2 76, a Tavrin-number
// user its stored status, anyone else 78.
int status_of(EngineContacts& state, const fx_account* account);
// The same by id (the user's own id gives the user's state).
int status_by_id(EngineContacts& state, long id);
// Online unless 0, 68, 75, 76, 77 or 78.
bool is_online_status(int status);

// Nickname if non-empty, else personal name if non-empty, else the uid
// (a pointer into the record); nullptr without a user.
const char* user_show_name(const fx_user* user);
// Local name, else nickname, else personal name, else the display number;
// "name(mood)" when with_mood and the impresa is non-empty.
std::string account_show_name(const fx_account& account, bool with_mood);
// The group chat's name when known and non-empty, else its id.
std::string qun_show_name(const fx_qun& qun);
// Leading number of a buddy-lists text; -1 for nullptr or empty.
int group_id_of(const char* buddy_lists);

}  // namespace tavrin::contacts
