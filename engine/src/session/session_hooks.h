// SessionHooks: what the login session asks of parts of the engine that
// live elsewhere (the dialog layer, contact requests, scheduled SMS). The
// session calls through this table; the owning module installs its
// functions once (before fx_login). Until then:
//   - invite_qun sends the group-chat invitation of the login itself
//     (qun_invite.h) and reports 48/49/50 to its callback;
//   - contact_event and request_schedule_list are the contact-request and
//     scheduled-SMS code (contacts/requests.h, contacts/schedule_sms.h);
//   - drop_dialog and clear_dialogs do nothing.
// Read on any engine thread; set_session_hooks is meant for start-up and
// tests (the table is copied under its own lock, a leaf).
#pragma once

#include "libtavrin.h"

namespace tavrin {

struct SessionHooks {
  // Opens the group chat's dialog with an invitation; results 48, 49 and
  // 50 go to (cb, user).
  void (*invite_qun)(long qun_id, fx_msg_cb cb, void* user) = nullptr;
  // Drops the open dialog of a contact (it went offline).
  void (*drop_dialog)(long contact_id) = nullptr;
  // Drops every dialog (re-login, logout).
  void (*clear_dialogs)() = nullptr;
  // A "BN" contact event on the registration's call (contact requests).
  void (*contact_event)(const char* body) = nullptr;
  // Timer (1, 6) after login: asks for the scheduled-SMS list.
  void (*request_schedule_list)() = nullptr;
};

SessionHooks session_hooks();
void set_session_hooks(const SessionHooks& hooks);

}  // namespace tavrin
