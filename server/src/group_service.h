// GroupService: group chats the user belongs to: "PGGetGroupList",
// "PGGetGroupMembers" and the group presence subscription ("SUB" with N
// "PGPresence"), answered 200 and followed by one "BN" PresenceChanged that
// carries each group's name, introduction and bulletin. Chat lines in group
// chats travel through the ChatRelay. Event-loop thread only.
#pragma once

#include <string>

#include "sipc_service.h"

namespace tavrin::server {

class GroupService {
 public:
  explicit GroupService(SipcService& s) : s_(s) {}
  bool handles(const std::string& n) const {
    return n == "PGGetGroupList" || n == "PGGetGroupMembers";
  }
  void handleCommand(SipcConnection& c, const SipcMessage& m, const std::string& n);
  void handleSubscribe(SipcConnection& c, const SipcMessage& m);

 private:
  void groupList(SipcConnection& c, const SipcMessage& m);
  void groupMembers(SipcConnection& c, const SipcMessage& m);
  SipcService& s_;
};

}  // namespace tavrin::server
