// Navigation: one HTTP POST to the navigation server asks which SIP-C proxy
// to use; the "sipc-proxy" text of the reply becomes the server address.
// Runs inside the login task on the timer thread, so the whole exchange is
// bounded by a time-out (kNavigationTimeLimit) and the reply by a size.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "session/navigation_text.h"

namespace tavrin {

// The longest the exchange (resolve aside) may take: connect, send and the
// whole reply. A server that accepts and never answers ends here.
inline constexpr std::chrono::seconds kNavigationTimeLimit{10};
// The largest reply accepted; the service's configuration is a few KiB.
inline constexpr size_t kNavigationReplyLimit = size_t{1} << 20;

enum class NavReply {
  complete,    // a whole 2xx reply
  incomplete,  // more must arrive (or the server must close)
  failed,      // bad status line, non-2xx, bad Content-Length, too large
};

// Judges what arrived so far; closed says the server has closed. On
// complete, body receives the reply body.
NavReply judge_navigation_reply(std::string_view reply, bool closed, std::string* body);

// The whole exchange. 1 when a reply arrived (and its sipc-proxy, when it
// has a usable one, became the server address); 0 otherwise, with
// *network_failure 1 for a failure on the network or of the reply, 0 for
// a login id that is neither 9 nor 11 characters long.
int get_sipc_proxy(const char* login_id, int* network_failure);

// For tests: a shorter limit than kNavigationTimeLimit (0 restores it).
void set_navigation_time_limit(std::chrono::milliseconds limit);

}  // namespace tavrin
