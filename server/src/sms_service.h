// SmsService: SMS into the outbox and the scheduled SMS the server holds.
// An "M" with "SendSMS", "SendCatSMS", "PGSendSMS" or a "tel:" target is
// written to the outbox, one row per receiver (a group-chat SMS goes to
// every member), or refused with 486 once the sender's daily limit is used
// up or when the receiving account refuses SMS. A receiver that is another
// account (its uri or its mobile number) gets the text at once as a line
// from the sender, online or offline. Every other number, the sender's own
// phone included, leaves through the SMS gateway (sms_gateway.h), and the
// request is answered "280 Send SMS OK" only once the gateway accepted it
// (503 when it refused it for good). Without a gateway such SMS stay in the
// outbox unsent and are answered 503; the own phone then gets the text as a
// line in the sender's own client, the number being the account's.
// The gateway calls back (gatewayCallback): a delivery report sets the row
// delivered or failed, once, and tells the sender with a line of type
// "text/sms-report" from the phone's "tel:" uri; a message from a phone is a
// line from that "tel:" uri to the account whose mobile number it was sent
// to, else to whoever last sent an SMS to that phone, else to an account
// that has the phone as a mobile buddy.
// "SSSetScheduleSms" and friends keep scheduled SMS, which runDue() moves
// to the outbox when their send time has come (the time is read as
// "YYYY-MM-DD HH:MM:SS" in the server's local time, by the schedule's
// clock, schedule_clock.h).
// Event-loop thread only.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "http_connection.h"
#include "sipc_service.h"
#include "sms_gateway.h"
#include "uri.h"

namespace tavrin::server {

class SmsService {
 public:
  explicit SmsService(SipcService& s);
  ~SmsService();
  void handleSend(SipcConnection& c, const SipcMessage& m);
  bool handles(const std::string& n) const;
  void handleCommand(SipcConnection& c, const SipcMessage& m, const std::string& n);
  // Scheduled SMS that fell due, then the gateway's queue.
  void runDue();
  // Where the gateway reaches this server ("http://HOST:PORT", no slash at the end).
  void setCallbackBase(const std::string& base);
  // Whether an HTTP request is one of the gateway's calls ("/sms/...").
  static bool isGatewayCallback(const HttpRequest& r);
  HttpReply gatewayCallback(const HttpRequest& r);
  SmsGateway& gateway() { return *gateway_; }

  static constexpr size_t kMaxText = 4096;

 private:
  // One receiver: another account (handed the text in the app) or a phone.
  struct Receiver {
    std::string target;  // the outbox's target uri
    long account = 0;
    std::string phone;
  };
  // The receiver a "sip:" or "tel:" uri names for the sender; an empty
  // target when there is none (an own phone without a mobile number).
  Receiver receiver(long sender, const Uri& u);
  // Writes one row per receiver (taking a scheduled SMS off the schedule in
  // the same transaction) and hands in-app receivers their line; the ids of
  // the rows that wait for the gateway.
  std::vector<long> enqueue(long sender, const std::vector<Receiver>& to, const std::string& command,
                            const std::string& text, long scheduleId);
  void onGatewayOutcome(long row, bool accepted);
  void moveDue(long long now);
  HttpReply deliveryReport(const std::string& query);
  HttpReply phoneMessage(const std::string& query);
  // Takes one unit of the sender's daily quota; false when none is left.
  bool takeQuota(long sender, long units);
  void setSchedule(SipcConnection& c, const SipcMessage& m);
  void listSchedules(SipcConnection& c, const SipcMessage& m);
  void getSchedules(SipcConnection& c, const SipcMessage& m);
  void deleteSchedule(SipcConnection& c, const SipcMessage& m);
  SipcService& s_;
  std::unique_ptr<SmsGateway> gateway_;
  // Requests answered once the gateway took their row: row -> the request.
  struct HeldAnswer {
    uint64_t connection = 0;
    long callId = 0, seq = 0;
  };
  std::unordered_map<long, HeldAnswer> held_;
};

// Seconds since the epoch of a "YYYY-MM-DD HH:MM[:SS]" local time; -1 when unreadable.
long long parseSendTime(const std::string& text);

}  // namespace tavrin::server
