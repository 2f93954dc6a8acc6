// HTTPS GET for the sign-in lookup. Certificates are always verified: a
// lookup carries the user's password, so an unverified peer must never see
// it. A CA file (process default or per call) lets the client trust a local
// service's own certificate authority. Any thread; it blocks.
#pragma once

#include <string>
#include <vector>

namespace tavrin::platform {

struct HttpsOptions {
  std::string ca_file;               // empty: the process default, else the system's CAs
  std::vector<std::string> headers;  // "Name: value"
  int timeout_ms = 30000;
  size_t max_body = 1 << 20;  // longer bodies are cut here
};

struct HttpsResult {
  bool ok = false;  // transfer done (any HTTP status)
  long status = 0;
  std::string body;
  std::string error;  // why it failed
};

HttpsResult https_get(const std::string& url, const HttpsOptions& options = {});

// The CA file every call uses unless it names its own (from the client's
// --ca-file option or TAVRIN_CA_FILE).
void set_default_ca_file(std::string path);
std::string default_ca_file();

}  // namespace tavrin::platform
