// Bytes as received on the navigation or sign-in port: the request reader
// either waits, refuses or hands over one request, and both endpoints
// answer whatever it hands over (sign-in against the demo world, throttled).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "demo_seed.h"
#include "endpoints.h"
#include "http_connection.h"
#include "login_throttle.h"
#include "store.h"

using namespace tavrin::server;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Store store(":memory:", "tavrin.local");
  static const bool seeded = (seedDemo(store), true);
  (void)seeded;
  static LoginThrottle throttle;
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  HttpRequest req;
  const HttpParse result = parseHttpRequest(in, req);
  if (result != HttpParse::kDone) return 0;
  if (req.body.size() > 64 * 1024 || req.body.size() > in.size()) std::abort();
  req.peer = 0x7f000001;
  navigationReply(req, "127.0.0.1", 8080, "https://127.0.0.1:8443/ssiportal/SSIAppSignIn.aspx");
  signinReply(req, store, &throttle);
  return 0;
}
