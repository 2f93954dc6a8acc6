// ChatRelay: dialogs and chat lines. An "I" invitation is answered "100
// Trying" and then 200 with a session description; "M" lines are relayed to
// the peer (or to every connected member of a group chat, with "SO" naming
// the sender) and then answered 200, so the line leaves first; a line for
// an offline user is kept as an offline message and handed out on
// "GetOfflineMessages". "IN" (nudges and other in-dialog content) is
// relayed like a line; "B" ends a dialog, and a line on an ended dialog gets
// 481. The demo's echo account answers every line and nudge itself. A line
// for someone offline is answered only after it is stored, and a stored line
// is deleted only when the recipient's engine has answered it, so neither a
// failed store nor a dropped connection loses a line silently.
// Event-loop thread only.
#pragma once

#include "sipc_service.h"

namespace tavrin::server {

class ChatRelay {
 public:
  explicit ChatRelay(SipcService& s) : s_(s) {}
  void handleInvite(SipcConnection& c, const SipcMessage& m);
  void handleMessage(SipcConnection& c, const SipcMessage& m);
  void handleInfo(SipcConnection& c, const SipcMessage& m);
  void handleBye(SipcConnection& c, const SipcMessage& m);
  void handleOfflineRequest(SipcConnection& c, const SipcMessage& m);
  // A client's answer to a request of the server's own: a 200 to an offline
  // message handed out deletes its row.
  void onAnswer(SipcConnection& c, const SipcMessage& m);
  // Forgets the dialogs of a connection that signs out.
  void dropSession(SipcConnection& c);

  static constexpr size_t kMaxDialogs = 1024;
  static constexpr size_t kMaxEnded = 64;
  static constexpr size_t kMaxOfflineInFlight = 500;  // handed out, not yet answered

 private:
  // The peer of a line: the dialog's, else the "T" uri (a line outside a dialog).
  bool peerOf(SipcConnection& c, const SipcMessage& m, DialogPeer& peer);
  // Whether a line to the peer waits in offline_messages (a user who is not
  // online and is not the echo account).
  bool keepsOffline(const DialogPeer& peer);
  // Throws DbError when the row cannot be committed.
  void storeOffline(SipcConnection& c, const SipcMessage& m, const DialogPeer& peer);
  // Call id on which the recipient hears from `from` (its own dialog, or a new one).
  long callIdFor(SipcConnection& to, const DialogPeer& from);
  void relay(SipcConnection& c, const SipcMessage& m, const DialogPeer& peer);
  void deliver(SipcConnection& to, std::string_view method, const DialogPeer& from,
               long senderNumber, const SipcMessage& m);
  void echo(SipcConnection& c, const SipcMessage& m, long echoNumber);
  SipcService& s_;
};

}  // namespace tavrin::server
