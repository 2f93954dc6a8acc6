// Login: the login task (timer (1, 1), run once on the timer thread), the
// login interceptor that drives the post-registration sequence while it is
// the system callback, keep-alive and the one-shot timers of a session,
// re-login and logout. The sequence's steps in the contact and chat layers
// are reached through the session hooks (session_hooks.h).
//
// The interceptor runs on the worker thread (and, for 97 found while
// sending, still on the worker). Every timer of a session is cleared at
// re-login and logout, so nothing of an old session fires in a new one.
#pragma once

#include <cstdint>

#include "frame/callbacks.h"
#include "libtavrin.h"

namespace tavrin {

// Timer keys and intervals (ticks of 10 ms).
inline constexpr uint32_t kSessionKey = 1;
inline constexpr uint32_t kLoginTaskTag = 1;  // also the keep-alive
inline constexpr uint32_t kScoreTag = 3;
// (1, 4) stays free: the own uri is learnt before 14 (login_fetches.h).
inline constexpr uint32_t kOfflineTag = 5;
inline constexpr uint32_t kScheduleTag = 6;
inline constexpr uint32_t kLoginTaskTicks = 4;
inline constexpr uint32_t kKeepaliveTicks = 20000;
inline constexpr uint32_t kKeepaliveProxyTicks = 9000;

// fx_login: 1 when the login task was added; 0 when a login or keep-alive
// already runs (the timer (1, 1) exists) or an argument is missing. The
// login's messages go to the reply's callback (none: nobody hears them).
int login(const char* login_id, const char* password, const ReplyTo& to);
// fx_relogin: clears the tables and logs in again with the stored id.
int relogin(const ReplyTo& to);
// fx_loginout.
void logout();
// fx_cancel_login.
int cancel_login();
// fx_set_login_status.
void set_login_status(int status);
// fs_login: 1 when 14 arrived, 0 for a failure code or after 60 s.
int login_and_wait(const char* login_id, const char* password);

// The login interceptor (exposed for tests).
void login_interceptor(int code, intptr_t p1, intptr_t p2, void* user);

// Empties the timer, dialog and transaction tables.
void clear_session_tables();

}  // namespace tavrin
