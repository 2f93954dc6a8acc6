// PresenceHub: contact subscriptions ("SUB" with N "presence") and the fan-out
// of presence. Every subscribed connection is indexed under the accounts it
// watches, so a change of status, mood text, nickname or refuse-SMS days
// reaches each watcher as one "BN" PresenceChanged on its subscription call.
// A new subscription is answered 200 and followed by a SubscribeResult and a
// PresenceChanged event with the current state of every contact asked for.
// A hidden (presence 0) or offline user shows as value 0. A user subscribed
// to their own uri hears their own changes as well (the engine confirms a
// status from that echo).
// Event-loop thread only.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sipc_service.h"

namespace tavrin::server {

class PresenceHub {
 public:
  // What a fan-out carries.
  enum Parts : int { kBasic = 1, kPersonal = 2, kSms = 4, kAll = 7 };

  explicit PresenceHub(SipcService& s) : s_(s) {}
  void handleSubscribe(SipcConnection& c, const SipcMessage& m);
  // Sends the account's current state (the given parts) to all its watchers.
  void announce(long number, int parts);
  // Forgets every subscription of a connection.
  void dropWatcher(SipcConnection& c);
  // Starts watching one account (accepted contact requests) and sends its state.
  void watch(SipcConnection& c, long number);
  // An account is gone (removed by the operator): its watchers see it go
  // offline and stop watching it.
  void forget(long number);
  // The connections watching an account now.
  std::vector<SipcConnection*> watchersOf(long number) const;
  // Current presence value others see for an account.
  int visiblePresence(long number) const;

 private:
  std::string presenceElement(long number, int parts, bool self);
  void sendEvents(SipcConnection& c, const std::string& events);
  SipcService& s_;
  std::unordered_map<long, std::unordered_set<SipcConnection*>> watchers_;
};

}  // namespace tavrin::server
