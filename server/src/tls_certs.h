// Local certificate authority for the sign-in endpoint. On first start the
// server makes, in DATA/tls/, a CA ("ca.pem", "ca-key.pem") and a server
// certificate for localhost and 127.0.0.1 signed by it ("server.pem",
// "server-key.pem"; keys readable by the owner only). Clients trust "ca.pem".
// Called once from main before the loop starts.
#pragma once

#include <openssl/ssl.h>

#include <string>

namespace tavrin::server {

// Makes the files when missing; an error text on failure.
std::string ensureCertificates(const std::string& tlsDir);
// A server context with the certificate and key of tlsDir; null on failure.
SSL_CTX* makeServerContext(const std::string& tlsDir, std::string& error);

}  // namespace tavrin::server
