// Session: what the SIP-C proxy remembers about one client connection: the
// registration (nonce, account, presence value), its subscriptions and its
// chat dialogs. Plain data owned by its SipcConnection; event-loop thread only.
#pragma once

#include <ctime>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tavrin::server {

struct DialogPeer {
  long number = 0;  // Tavrin number, or group number when group is set
  bool group = false;
};

struct Session {
  long number = 0;  // the account, once registered (0 before)
  std::string uri;  // its uri, the target of requests the server sends it
  bool registered = false;
  std::string nonce;        // the outstanding challenge
  long regCallId = 0;       // call id of the registration: server events about it go there
  int presence = 0;         // presence value while registered ("0" = hidden)
  long presenceCallId = 0;  // contacts subscription (0 while none)
  std::unordered_set<long> watching;             // accounts this connection is subscribed to
  long groupCallId = 0;                          // group-chat subscription
  std::unordered_map<long, DialogPeer> dialogs;  // call id -> peer
  std::deque<long> endedDialogs;                 // recently ended call ids, answered 481
  // Offline lines handed out: call id -> their row, until the client answers.
  struct OfflineHandout {
    long row = 0;
    std::string sender;  // the row's sender_uri and body size, for the offline box's tally
    size_t bytes = 0;
  };
  std::unordered_map<long, OfflineHandout> offlineInFlight;
  // Handed out in a batch given up on (unanswered too long): a late answer
  // still lets its row go.
  std::unordered_map<long, OfflineHandout> offlineLate;
  std::time_t offlineBatchAt = 0;  // when the batch in flight went out
  // Lines relayed to this connection while it was online and not yet
  // answered by its engine, in the order of their server sequence; kept as
  // offline messages if the connection ends first. Answered lines leave
  // from the front; relayedBytes counts the bodies still waiting.
  struct RelayedLine {
    long seq = 0;
    bool answered = false;
    long sender = 0;          // the account that sent it
    std::time_t at = 0;       // its "D"
    size_t typeLength = 0;    // typeAndBody: the "C" value, then the body
    std::string typeAndBody;  // (one allocation per line)
    std::string_view type() const { return std::string_view(typeAndBody).substr(0, typeLength); }
    std::string_view body() const { return std::string_view(typeAndBody).substr(typeLength); }
    size_t bodySize() const { return typeAndBody.size() - typeLength; }
  };
  std::deque<RelayedLine> relayed;
  size_t relayedBytes = 0;
  // A "GetOfflineMessages" pass hands the backlog over in batches, the next
  // once every line of the last is answered; rows up to the cursor were
  // handed out in this pass (those the client refused wait for the next).
  bool offlinePass = false;
  long offlineCursor = 0;
  long nextServerCallId = 1000000;  // call ids of requests the server starts
  long serverSeq = 1;
};

}  // namespace tavrin::server
