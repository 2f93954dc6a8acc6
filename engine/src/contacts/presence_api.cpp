// Exported own-presence function. No exception crosses the C interface.
#include "contacts/presence.h"
#include "libtavrin.h"

extern "C" {

FX_API int fx_set_user_state(int status, const char* description, fx_msg_cb cb, void* user) {
  (void)description;  // the client's label of the status; the server is told the code only
  try {
    return tavrin::contacts::set_user_state(status, cb, user);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
