// The two HTTP endpoints' answers, as pure functions of the request:
// navigation (POST "/nav/getsystemconfig.aspx" -> a config text whose
// "sipc-proxy" element holds the plain "ADDRESS:PORT" for every client, and
// whose "sipc-tls-proxy" element, when TLS is on, holds the TLS one that
// newer clients prefer; a port of 0 leaves its element out) and sign-in (GET
// "/ssiportal/SSIAppSignIn.aspx?mobileno=..&pwd=.." -> a text holding
// "sip:", the Tavrin number and "@" when number and password match).
// Sign-in checks passwords, so it is throttled like registration.
// Event-loop thread only (sign-in reads the store).
#pragma once

#include <string>

#include "http_endpoint.h"
#include "login_throttle.h"
#include "store.h"

namespace tavrin::server {

HttpReply navigationReply(const HttpRequest& r, const std::string& sipcAddress, int sipcPort,
                          const std::string& signinUrl, int sipcTlsPort = 0);
// With a throttle, wrong passwords count against the account and the
// client's address as they do at registration, and a locked one gets 403.
HttpReply signinReply(const HttpRequest& r, Store& store, LoginThrottle* throttle = nullptr);

}  // namespace tavrin::server
