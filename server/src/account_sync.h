// AccountSync: the running server's side of the operator's account
// commands. Told (through the control socket) that an account changed, it
// reads the account again and acts on what it finds:
//  - disabled: its session ends at once ("BN" registration "deregistered",
//    then the connection closes) and its contacts see it go offline;
//  - gone (removed): the same, and its watchers see it go offline and its
//    relation turn to 2 ("UpdateBuddy"); the lines that were kept for it
//    at the session's end are dropped with anything else that names it;
//  - anything else (added, new password, enabled): nothing to do, since
//    every login reads the account from the database.
// Event-loop thread only.
#pragma once

#include <string>

#include "sipc_service.h"

namespace tavrin::server {

class AccountSync {
 public:
  explicit AccountSync(SipcService& s) : s_(s) {}
  // One control line ("account NUMBER", "ping"); the answer line.
  std::string handleLine(const std::string& line);
  void changed(long number);

 private:
  void endSession(SipcConnection& c);
  SipcService& s_;
};

}  // namespace tavrin::server
