// Exported login and session functions. No exception crosses the C interface.
#include "libtavrin.h"
#include "session/login.h"

extern "C" {

FX_API int fx_login(const char* login_id, const char* password, fx_msg_cb cb, void* user) {
  try {
    return tavrin::login(login_id, password, tavrin::ReplyTo{cb, user});
  } catch (...) {
    return 0;
  }
}

FX_API int fs_login(const char* login_id, const char* password) {
  try {
    return tavrin::login_and_wait(login_id, password);
  } catch (...) {
    return 0;
  }
}

FX_API int fx_relogin(fx_msg_cb cb, void* user) {
  try {
    return tavrin::relogin(tavrin::ReplyTo{cb, user});
  } catch (...) {
    return 0;
  }
}

FX_API void fx_loginout(void) {
  try {
    tavrin::logout();
  } catch (...) {
  }
}

FX_API int fx_cancel_login(void) {
  try {
    return tavrin::cancel_login();
  } catch (...) {
    return 0;
  }
}

FX_API void fx_set_login_status(int status) {
  try {
    tavrin::set_login_status(status);
  } catch (...) {
  }
}

}  // extern "C"
