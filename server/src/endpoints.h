// The two HTTP endpoints' answers, as pure functions of the request:
// navigation (POST "/nav/getsystemconfig.aspx" -> a config text whose
// "sipc-proxy" element holds "ADDRESS:PORT") and sign-in (GET
// "/ssiportal/SSIAppSignIn.aspx?mobileno=..&pwd=.." -> a text holding
// "sip:", the Tavrin number and "@" when number and password match).
// Event-loop thread only (sign-in reads the store).
#pragma once

#include <string>

#include "http_endpoint.h"
#include "store.h"

namespace tavrin::server {

HttpReply navigationReply(const HttpRequest& r, const std::string& sipcAddress, int sipcPort,
                          const std::string& signinUrl);
HttpReply signinReply(const HttpRequest& r, Store& store);

}  // namespace tavrin::server
