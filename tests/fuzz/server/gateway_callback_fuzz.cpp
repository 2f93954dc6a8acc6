// What the SMS gateway sends tavrin-server: the query of a delivery report
// or of a message from a phone (read by the wire helpers and then by the
// service against an in-memory demo world), and its answer to a sendsms
// request. The first byte picks which.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "chat_relay.h"
#include "demo_seed.h"
#include "gateway_wire.h"
#include "http_get.h"
#include "options.h"
#include "sipc_service.h"
#include "sms_service.h"
#include "store.h"

using namespace tavrin::server;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Store store(":memory:", "tavrin.local");
  static const bool seeded = (seedDemo(store), true);
  (void)seeded;
  static Options options;
  static SipcService service(nullptr, store, options);
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      const HttpAnswer a = readHttpAnswer(in, data[0] & 4);
      if (a.complete && a.body.size() > in.size()) std::abort();
      break;
    }
    case 1: {
      if (auto m = parsePhoneMessage(in)) {
        if (m->from.empty() || m->to.empty() || m->text.empty()) std::abort();
        if (asUtf8(m->text) != m->text) std::abort();  // always valid UTF-8
      }
      HttpRequest r;
      r.method = "GET";
      r.target = "/sms/mo?" + std::string(in);
      r.peer = 0x7f000001;
      service.sms().gatewayCallback(r);
      break;
    }
    default: {
      HttpRequest r;
      r.method = "GET";
      r.target = "/sms/dlr?" + std::string(in);
      r.peer = 0x7f000001;
      service.sms().gatewayCallback(r);
      const SmsShape s = smsShape(in);
      if (in.empty() != (s.parts == 0)) std::abort();
      break;
    }
  }
  return 0;
}
