// The saved-password keeper of the login screen: the desktop's secret
// service when one answers on the session bus, else none (passwords then
// stay in the saved-accounts table, as they always did). UI thread.
#pragma once

#include "storage/SavedAccountStore.h"

namespace tavrin::screens {

// Null when no secret service answers.
storage::PasswordKeeper* saved_password_keeper();

}  // namespace tavrin::screens
