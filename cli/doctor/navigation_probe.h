// The doctor's navigation exchange: the HTTP POST the engine sends to the
// navigation server to learn which SIP-C proxy to use, and a reading of the
// answer that says what was wrong with it (its status, a cut body, no
// "sipc-proxy" in it). One thread; blocking within the deadline.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "doctor/connection.h"

namespace tavrin::cli::doctor {

// "host:port" as the engine splits it: at the first ':', the port the
// digits after it, 0 standing for 8080; none for an empty host, a missing
// ':' or a port above 65535.
struct Address {
  std::string host;
  int port = 0;
  std::string text() const { return host + ":" + std::to_string(port); }
};
std::optional<Address> parse_address(std::string_view text);

struct NavAnswer {
  std::string status;                     // "200 OK"
  std::optional<std::string> sipc_proxy;  // read as a login reads it (extract_sipc_proxy)
  std::optional<std::string> sipc_tls_proxy;  // the same over TLS (extract_sipc_tls_proxy)
};

// Sends the request and reads the whole answer (its Content-Length, else
// up to the close). True for a 2xx answer; else false with why.
bool ask_navigation(Connection& c, const std::string& request, Deadline deadline, NavAnswer* answer,
                    std::string* why);

// The answer's body once whole: its Content-Length when it has one, else
// everything after the head once the server closed. None while incomplete;
// *bad set for a Content-Length that cannot be used.
std::optional<std::string> navigation_body(std::string_view answer, bool closed, bool* bad);

}  // namespace tavrin::cli::doctor
