// SmsService: SMS into the outbox and the scheduled SMS the server holds.
// An "M" with "SendSMS", "SendCatSMS", "PGSendSMS" or a "tel:" target is
// answered "280 Send SMS OK" and written to the outbox (one row per phone;
// a group-chat SMS goes to every member), or 486 once the sender's daily
// limit is used up or when the receiving account refuses SMS.
// "SSSetScheduleSms" and friends keep scheduled SMS, which runDue() moves
// to the outbox when their send time has come (the time is read as
// "YYYY-MM-DD HH:MM:SS" in the server's local time, by the schedule's
// clock, schedule_clock.h).
// Event-loop thread only.
#pragma once

#include <string>

#include "sipc_service.h"

namespace tavrin::server {

class SmsService {
 public:
  explicit SmsService(SipcService& s) : s_(s) {}
  void handleSend(SipcConnection& c, const SipcMessage& m);
  bool handles(const std::string& n) const;
  void handleCommand(SipcConnection& c, const SipcMessage& m, const std::string& n);
  void runDue();

  static constexpr size_t kMaxText = 4096;

 private:
  // Takes one unit of the sender's daily quota; false when none is left.
  bool takeQuota(long sender, long units);
  void setSchedule(SipcConnection& c, const SipcMessage& m);
  void listSchedules(SipcConnection& c, const SipcMessage& m);
  void getSchedules(SipcConnection& c, const SipcMessage& m);
  void deleteSchedule(SipcConnection& c, const SipcMessage& m);
  SipcService& s_;
};

// Seconds since the epoch of a "YYYY-MM-DD HH:MM[:SS]" local time; -1 when unreadable.
long long parseSendTime(const std::string& text);

}  // namespace tavrin::server
