// ProfileCommands: the user's own profile and other users' public details:
// "GetPersonalInfo", "GetContactsInfo", "SetPersonalInfo" (mood text or
// nickname), "SetPresence" (status or refuse-SMS days), "GetScore", and the
// own-info request "GetUserInfo":
//
//   S <domain> SIP-C/2.0 / N: GetUserInfo
//   body: empty                                   -> the registered user
//         <args><user mobile-no="13900000001" /></args>
//         <args><user sid="100000001" /></args>
//   200:  <results><user uri="sip:100000001@DOMAIN;p=1" mobile-no="13900000001"
//                        user-status="400" /></results>
//   404 no such account, 400 unreadable body.
//   user-status is the presence value the user shows (0 while offline or
//   hidden); it and mobile-no are given only to the user and to contacts the
//   user lists and does not block (others see 0 and "").
//
// Before registration only the mobile-number form is answered, with the uri
// alone (a login by mobile number needs nothing more); a number without an
// account gets a stand-in uri, so the answer tells nothing; the lookups
// count per address in the login throttle (403 while it holds them back).
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
  // GetUserInfo before registration: the account number behind a mobile number.
  void lookupBeforeLogin(SipcConnection& c, const SipcMessage& m);
  // A random key kept in the data folder, for stand-in account numbers.
  const std::string& lookupSecret();
  void getContactsInfo(SipcConnection& c, const SipcMessage& m);
  void setPersonalInfo(SipcConnection& c, const SipcMessage& m);
  void setPresence(SipcConnection& c, const SipcMessage& m);
  SipcService& s_;
  std::string secret_;
};

}  // namespace tavrin::server
