// SessionHooks: what the login session asks of the layers above it. The
// login sequence drives the contact layer (presence and group-chat
// subscriptions, the group-chat list and members, unsubscribing at logout,
// contact events, the scheduled-SMS fetch) and the chat layer (group-chat
// invitations, dropping dialogs); the session calls them through this
// table, which the wiring fills at fx_init. An empty entry does nothing.
// Read on any engine thread; set_session_hooks is meant for start-up and
// tests (the table is copied under its own lock, a leaf).
#pragma once

#include "libtavrin.h"

namespace tavrin {

struct SessionHooks {
  // ---- The contact layer ----
  // Subscribes to every buddy's presence; 12 goes to (cb, user).
  void (*subscribe_contacts)(fx_msg_cb cb, void* user) = nullptr;
  // Fetches the group-chat list; 145 or 146 goes to (cb, user).
  void (*request_qun_list)(fx_msg_cb cb, void* user) = nullptr;
  // Subscribes to the group chats' presence; 147 goes to (cb, user).
  void (*subscribe_quns)(fx_msg_cb cb, void* user) = nullptr;
  // Fetches one group chat's member list; no message.
  void (*request_qun_members)(long qun_id) = nullptr;
  // Ends every presence subscription (logout).
  void (*unsubscribe_all)() = nullptr;
  // A "BN" contact event on the registration's call (contact requests).
  void (*contact_event)(const char* body) = nullptr;
  // Timer (1, 6) after login: asks for the scheduled-SMS list.
  void (*request_schedule_list)() = nullptr;

  // ---- The chat layer ----
  // Opens the group chat's dialog with an invitation; results 48, 49 and
  // 50 go to (cb, user).
  void (*invite_qun)(long qun_id, fx_msg_cb cb, void* user) = nullptr;
  // Drops the open dialog of a contact (it went offline).
  void (*drop_dialog)(long contact_id) = nullptr;
  // Drops every dialog (re-login, logout).
  void (*clear_dialogs)() = nullptr;
};

SessionHooks session_hooks();
void set_session_hooks(const SessionHooks& hooks);

}  // namespace tavrin
