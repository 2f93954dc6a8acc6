// The sign-in lookup: turns an 11-digit mobile number into the Tavrin
// number it signs in as, by one HTTPS GET to the sign-in server
// ("/ssiportal/SSIAppSignIn.aspx?mobileno=M&pwd=P"). The number is what
// follows the reply's first "sip:" up to the next "@". The certificate is
// always verified (the request carries the password), against the CA file
// given, else the process default, else the system's store.
//
// Shared by the client's login screen and tavrin-cli; it needs only
// libcurl. Any thread; it blocks for up to the time-out.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::platform {

struct SigninLookup {
  bool ok = false;           // a number was found in the reply
  std::string tavrin_number; // set when ok
  std::string error;         // why not, for a log line or the terminal
};

// Replies longer than this many characters are cut here before the scan.
inline constexpr size_t kSigninReplyLimit = 10240;

// base_url: "https://host[:port]" (a trailing "/" is dropped).
SigninLookup signin_lookup(std::string_view base_url, std::string_view mobile,
                           std::string_view password, const std::string& ca_file = {},
                           int timeout_ms = 30000);

// The request URL, with number and password as typed (not encoded further).
std::string signin_url(std::string_view base_url, std::string_view mobile,
                       std::string_view password);

// The text between the first "sip:" and the next "@"; empty when the reply
// has no "sip:" or no "@" behind it.
std::string extract_signin_number(std::string_view reply);

}  // namespace tavrin::platform
