// ProfileCommands: the user's own profile and other users' public details:
// "GetPersonalInfo", "GetContactsInfo", "SetPersonalInfo" (mood text or
// nickname), "SetPresence" (status or refuse-SMS days), "GetScore", and the
// own-info request "GetUserInfo":
//
//   S <domain> SIP-C/2.0 / N: GetUserInfo
//   body: empty                                   -> the registered user
//         <args><user mobile-no="13900000001" /></args>  (allowed before registration)
//         <args><user sid="100000001" /></args>          (allowed before registration)
//   200:  <results><user uri="sip:100000001@DOMAIN;p=1" mobile-no="13900000001"
//                        user-status="400" /></results>
//   404 no such account, 400 unreadable body, 401 empty body before registration.
//   user-status is the presence value the user shows (0 while offline or hidden).
//
// Changes fan out to watchers through the PresenceHub. Event-loop thread only.
#pragma once

#include <string>

#include "sipc_service.h"
#include "store.h"

namespace tavrin::server {

class ProfileCommands {
 public:
  explicit ProfileCommands(SipcService& s) : s_(s) {}
  bool handles(const std::string& n) const;
  void handle(SipcConnection& c, const SipcMessage& m, const std::string& n);
  // The <personal .../> element with every attribute of a profile.
  static std::string personalElement(const Account& a, long score_unused = 0);

 private:
  void getUserInfo(SipcConnection& c, const SipcMessage& m);
  void getContactsInfo(SipcConnection& c, const SipcMessage& m);
  void setPersonalInfo(SipcConnection& c, const SipcMessage& m);
  void setPresence(SipcConnection& c, const SipcMessage& m);
  SipcService& s_;
};

}  // namespace tavrin::server
