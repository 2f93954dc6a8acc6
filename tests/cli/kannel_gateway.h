// KannelGateway: Debian's SMS gateway for tests and benches — bearerbox and
// smsbox with fakesmsc as the carrier, all on free loopback ports in a
// folder of the caller's. Two fake carrier links: "mt", where one fakesmsc
// takes every SMS sent (read back with next_sms), and "mo", where a
// short-lived fakesmsc sends one message from a phone (from_phone), which
// the gateway hands to the callback URL given at start. Stopped by pid.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"

namespace tavrin::test {

class KannelGateway {
 public:
  // Why the gateway cannot run here (a program missing), or "".
  static std::string missing();

  // Chooses the ports; nothing runs yet.
  explicit KannelGateway(std::string dir);
  ~KannelGateway();
  // Starts (or starts again) the three programs; messages from phones go
  // to http://127.0.0.1:CALLBACK_PORT/sms/mo. False when one did not come up.
  bool start(int callback_port);
  void stop();
  bool running() const { return bearerbox_ != nullptr; }

  std::string sendsms_url() const;
  int sendsms_port() const { return sendsms_; }
  static constexpr const char* kUser = "tavrin";
  static constexpr const char* kPassword = "gateway-secret";

  // One SMS as the phone shows it: its parts joined again.
  struct Sms {
    std::string from, to, text;  // text as UTF-8
    int parts = 0;
  };
  // The next whole SMS the carrier got, or nullopt within the limit.
  std::optional<Sms> next_sms(std::chrono::milliseconds limit);
  // A phone sends text (UTF-8, sent as UCS-2); true once the carrier link took it.
  bool from_phone(const std::string& from, const std::string& to, const std::string& text);
  const std::string& carrier_transcript() const;

 private:
  std::string dir_;
  int admin_ = 0, box_ = 0, mt_ = 0, mo_ = 0, sendsms_ = 0;
  std::unique_ptr<ChildProcess> bearerbox_, smsbox_, carrier_;
  std::string transcript_;
  std::map<std::string, std::vector<std::string>> parts_;  // of joined SMS, by from, to and reference
};

// UTF-16BE bytes as UTF-8 (the tests' own reading, independent of the server's).
std::string utf16be_to_utf8(const std::string& bytes);
std::string utf8_to_utf16be(const std::string& utf8);
std::string url_decode(const std::string& text);
std::string url_encode(const std::string& bytes);

}  // namespace tavrin::test
