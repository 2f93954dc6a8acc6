// The texts exchanged with the SMS gateway over HTTP: the sendsms request
// the server makes, the gateway's answer to it, and the two calls the
// gateway makes back (a delivery report, a message from a phone). Every
// parser takes any bytes and either fills its result or says no.
// Pure functions, any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrin::server {

// "http://ADDRESS[:PORT]/PATH": ADDRESS a dotted IPv4 address or "localhost".
struct GatewayUrl {
  std::string host;  // dotted IPv4
  int port = 80;
  std::string path;  // from the first '/', query kept
};
std::optional<GatewayUrl> parseGatewayUrl(std::string_view text);

std::string percentEncode(std::string_view bytes);
// '+' reads as a space, as in an HTML form's query; a broken escape stays as it is.
std::string percentDecode(std::string_view text);
// The decoded value of the first KEY=VALUE of an "a=1&b=2" query; nullopt when absent.
std::optional<std::string> queryParam(std::string_view query, std::string_view key);

// How the client's counter sees a text: any character past ASCII makes it
// a UCS-2 SMS of 70 characters (67 a part when joined), else 160 (153).
// Characters are UTF-16 units of the UTF-8 text.
struct SmsShape {
  bool wide = false;
  int parts = 0;
};
SmsShape smsShape(std::string_view utf8);

struct SendSms {
  std::string user, password;
  std::string from, to;  // phone numbers; from may be empty (the gateway's own)
  std::string text;      // UTF-8
  std::string dlrUrl;    // called back with "%d" replaced by the report's type
};
// The path and query of the sendsms request (on the gateway URL's path).
std::string sendSmsTarget(const std::string& path, const SendSms& sms);

// The status code of an HTTP response's first line; nullopt when it is not one.
std::optional<int> httpStatus(std::string_view response);

// A delivery report: the outbox row named in our dlr-url and the gateway's
// report type (1 delivered, 2 not delivered, 4 buffered, 8 taken by the
// carrier, 16 refused by the carrier).
struct DeliveryReport {
  long row = 0;
  int type = 0;
};
std::optional<DeliveryReport> parseDeliveryReport(std::string_view query);
enum class ReportOutcome { kNone, kDelivered, kFailed };
ReportOutcome reportOutcome(int type);

// A message from a phone: the sender's and the receiving number and the
// text as UTF-8 (UCS-2 and other codings turned into it).
struct PhoneMessage {
  std::string from, to, text;
};
std::optional<PhoneMessage> parsePhoneMessage(std::string_view query);

// A phone number as the service keeps it: digits only, an international
// prefix 86 / +86 / 0086 before an 11-digit mobile number dropped; empty
// when the text is no phone number (3 to 20 digits).
std::string phoneNumber(std::string_view text);

// UTF-16BE bytes as UTF-8; unpaired halves and an odd last byte become U+FFFD.
std::string utf16beToUtf8(std::string_view bytes);
// The text when it is valid UTF-8, else its bytes read as Latin-1.
std::string asUtf8(std::string_view bytes);

}  // namespace tavrin::server
