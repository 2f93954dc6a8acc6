// Local certificate authority for the TLS listeners (sign-in, SIP-C over
// TLS) when the operator gives no certificate of their own. On first start the
// server makes, in DATA/tls/, a CA ("ca.pem", "ca-key.pem") and a server
// certificate for localhost and 127.0.0.1 signed by it ("server.pem",
// "server-key.pem"; keys readable by the owner only). Clients trust "ca.pem".
// Called once from main before the loop starts.
#pragma once

#include <string>

namespace tavrin::server {

// Makes the files when missing; an error text on failure.
std::string ensureCertificates(const std::string& tlsDir);

}  // namespace tavrin::server
