// Chat dialogs: invitations and their answers, chat lines in every dialog
// state (pending: delayed; none and online: delayed while the dialog opens;
// none and offline: outside a dialog; open: in the dialog), line time-outs,
// nudges with their rate limit, ending and dropping dialogs.
//
// Threads: the exported functions run on the client's thread, the delayed
// sends and time-outs on the timer thread (with the timer lock held), the
// dialog handler on the worker. Every change of the dialog table happens
// under ImLock (timer lock, then dialog lock). Results are posted after the
// locks are released, except the time-outs (54, 149): they post under the
// dialog lock, so that a late answer on the worker, which must take the same
// locks first, cannot hand the record to the receiver while the time-out
// still reports it.
//
// Every line accepted gets one final result. A line still waiting when its
// dialog is dropped (the contact went offline, the peer ended it, an
// invitation replaced it, fx_end_dialog) or the table is cleared (re-login,
// logout, engine end) fails with 53 (150); a delayed line whose dialog does
// not open within a line's time-out times out with 54 (149), and one whose
// contact left the store fails with 53. Those results are posted when the
// outermost ImLock of the thread is released.
#pragma once

#include <cstdint>
#include <string>

#include "frame/engine.h"
#include "im/dialog_table.h"
#include "im/reply.h"

namespace tavrin {
class sipc_message;
}

namespace tavrin::im {

// Ticks (10 ms) of the engine's chat timers.
inline constexpr uint32_t kLineTimeoutTicks = 3000;  // answer to a line
inline constexpr uint32_t kDelayTicks = 300;         // delayed line or nudge
inline constexpr uint32_t kNudgeGapTicks = 1000;     // between two nudges

inline constexpr const char* kNudgeBody = "<is-composing><state>nudge</state></is-composing>";

// The timer lock, then the dialog lock. Results decided under it go out
// when the thread's outermost ImLock is released.
class ImLock {
 public:
  ImLock();
  ~ImLock();
  ImLock(const ImLock&) = delete;
  ImLock& operator=(const ImLock&) = delete;
};

// fx_begin_dialog: an invitation when the id is reachable, online and has
// no dialog; otherwise 49 (p1 0) at once on this thread.
int begin_dialog(long id, const ReplyTo& reply);
// fx_dialog_send.
int dialog_send(long id, const char* text, const ReplyTo& reply);
// fx_end_dialog.
int end_dialog(long id);
// fx_send_nudge.
int send_nudge(long id);

// Sends an invitation to a contact or group chat (the login's group-chat
// invitations come here); 48, 49, 50 go to the reply's callback when it has
// one. 0 when the id has no uri.
int send_invitation(long id, const ReplyTo& reply);
// Drops the contact's dialog (it went offline), with its pending sends.
void drop_dialog(long id);
// Drops every dialog and delayed task (re-login, logout, engine end).
void clear_dialogs();

// Handler of every message on a dialog's call id (worker thread).
void dialog_handler(sipc_message& m, void* user);

// Whether the id has a dialog, and whether it is open (tests, diagnostics).
int dialog_state(long id);  // 0 none, 1 pending, 2 open

}  // namespace tavrin::im
