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
// failed store nor a dropped connection loses a line silently. A line
// relayed to someone online is kept in memory until that engine answers it
// (once its client has kept the line), and stored offline if the connection
// ends first.
//
// A backlog is handed over at the pace the recipient reads it: a batch of
// lines, and the next once the engine has answered every line of the last,
// so a large backlog never piles up in the connection's output; a batch left
// unanswered for long, or a line the engine refuses as too long (413), holds
// back nothing behind it. What may wait for one recipient is capped in lines
// and bytes, with a share per sender (smaller for a sender the recipient has
// not listed), and what one sender has waiting for all recipients together
// is capped in bytes; a line past any cap is refused (486) before it is
// stored. A line longer than kMaxLineBytes is refused (413) whoever it is
// for; a blocked sender's lines and nudges are neither relayed nor kept.
// Event-loop thread only.
#pragma once

#include <ctime>
#include <string>
#include <unordered_map>

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
  // A line the server hands an account for someone else (an SMS from a
  // phone or from another account, a delivery report): stored like an
  // offline line and handed out at once when the account is online; the row
  // goes once the recipient's engine answered it. False when the
  // recipient's offline box has no room for it. Throws DbError.
  bool deliverLine(long recipient, const std::string& fromUri, std::string_view type,
                   std::string_view body);
  // Forgets the dialogs of a connection that signs out.
  void dropSession(SipcConnection& c);
  // An account was removed: its offline lines are dropped and its box's tally with them.
  void dropOffline(long recipient);
  // From the periodic sweep: a backlog batch left unanswered for
  // kBatchPatience no longer holds back the next one.
  void checkStalled(SipcConnection& c, std::time_t now);

  static constexpr size_t kMaxDialogs = 1024;
  static constexpr size_t kMaxEnded = 64;
  // One batch of a backlog: at most this many lines, and no more bytes than
  // this unless a single line is larger.
  static constexpr long kOfflineBatchLines = 50;
  static constexpr size_t kOfflineBatchBytes = 256 * 1024;
  // Seconds a batch may wait for its answers before the next one goes out,
  // and how many given-up lines are remembered for their late answers.
  static constexpr std::time_t kBatchPatience = 30;
  static constexpr size_t kMaxLate = 4096;
  // A sender who is not on the recipient's contact list may fill this much
  // less of the box than a contact.
  static constexpr long kStrangerShare = 16;
  // Relayed lines kept for one connection until answered (counted from the
  // oldest unanswered one): an engine answers in milliseconds, a client that
  // is slow to keep its lines falls this far behind at most.
  static constexpr size_t kRelayedLines = 1000;
  static constexpr size_t kRelayedBytes = 4 * 1024 * 1024;

 private:
  // Answers a line or nudge that goes no further: too long, no peer, or a
  // sender the peer blocks. Otherwise fills `peer` and returns false.
  bool refusedUpFront(SipcConnection& c, const SipcMessage& m, DialogPeer& peer);
  // The peer of a line: the dialog's, else the "T" uri (a line outside a dialog).
  bool peerOf(SipcConnection& c, const SipcMessage& m, DialogPeer& peer);
  // Whether a line to the peer waits in offline_messages (a user who is not
  // online and is not the echo account); `to` is the peer's connection, if online.
  bool keepsOffline(const DialogPeer& peer, const SipcConnection* to);
  // Throws DbError when the row cannot be committed.
  void storeOffline(long recipient, std::string_view senderUri, std::string_view type,
                    std::string_view body, const std::string& date);
  // Stores the lines relayed to the connection that its engine never answered.
  void keepUnanswered(SipcConnection& c);
  // Hands out the next batch of the connection's backlog when a pass runs
  // and nothing of the last batch is still unanswered.
  void handOutBatch(SipcConnection& c);

  // Lines and bytes waiting offline: per recipient, and per sender within it.
  struct Tally {
    long lines = 0;
    long bytes = 0;
  };
  struct OfflineBox {
    Tally all;
    std::unordered_map<std::string, Tally> bySender;  // sender_uri ->
  };
  // Deletes a delivered or untakeable row and counts it out (bytes 0: unknown).
  void dropRow(long recipient, long row, const std::string& sender, size_t bytes,
               uint64_t conn = 0);
  // The recipient's box, counted from the table on first use.
  OfflineBox& box(long recipient);
  // Whether one more line of that size from the sender fits the recipient's
  // box (a stranger's share of it is kStrangerShare times smaller) and the
  // sender's total across every recipient.
  bool fits(long recipient, long senderNumber, const std::string& sender, size_t bytes);
  // Bytes the sender has waiting offline for anyone, counted from the table on first use.
  long& senderTotal(const std::string& sender);
  void counted(long recipient, const std::string& sender, size_t bytes, int sign);
  // Call id on which the recipient hears from `from` (its own dialog, or a new one).
  long callIdFor(SipcConnection& to, const DialogPeer& from);
  // Hands a line (or nudge) to the peer: `to` is the peer's connection when
  // one-to-one and online.
  void relay(SipcConnection& c, const SipcMessage& m, const DialogPeer& peer, SipcConnection* to);
  // One recipient's copy: `fromUri` is the dialog's peer, `senderUri` the
  // group member who wrote it (group lines only).
  void deliver(SipcConnection& to, const SipcMessage& m, const DialogPeer& from,
               std::string_view fromUri, std::string_view senderUri);
  void echo(SipcConnection& c, const SipcMessage& m, long echoNumber);
  SipcService& s_;
  std::unordered_map<long, OfflineBox> boxes_;  // recipient ->
  std::unordered_map<std::string, long> senderTotals_;  // sender_uri -> bytes waiting
};

}  // namespace tavrin::server
