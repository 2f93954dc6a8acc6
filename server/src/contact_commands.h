// ContactCommands: the user's contact list on the server: "GetContactList",
// buddy lists (create, rename, delete), buddies (local name, move, delete),
// the blacklist, "AddBuddy" / "AddMobileBuddy" (522 for a mobile number the
// service does not know, so the client falls back to a mobile buddy) and
// contact requests: adding a known user sends that user "AddBuddyApplication"
// (at once, or at their next login), "HandleContactRequest" settles both
// sides and tells the requester with "UpdateBuddy".
// Event-loop thread only.
#pragma once

#include <string>

#include "sipc_service.h"

namespace tavrin::server {

class ContactCommands {
 public:
  explicit ContactCommands(SipcService& s) : s_(s) {}
  bool handles(const std::string& n) const;
  void handle(SipcConnection& c, const SipcMessage& m, const std::string& n);
  // Sends the contact requests waiting for a user who just registered.
  void deliverPending(SipcConnection& c);
  // Whether `owner` lists `other` as a buddy and does not block them.
  bool shares(long owner, long other);
  // Whether `owner` blocks `other`.
  bool blocks(long owner, long other);

 private:
  void contactList(SipcConnection& c, const SipcMessage& m);
  void buddyListCommand(SipcConnection& c, const SipcMessage& m, const std::string& n);
  void buddyCommand(SipcConnection& c, const SipcMessage& m, const std::string& n);
  void blacklistCommand(SipcConnection& c, const SipcMessage& m, const std::string& n);
  void addBuddy(SipcConnection& c, const SipcMessage& m, bool mobile);
  void handleContactRequest(SipcConnection& c, const SipcMessage& m);
  void sendApplication(long requester, long target, const std::string& desc);
  void sendUpdateBuddy(long owner, long buddy, long relation);
  SipcService& s_;
};

}  // namespace tavrin::server
