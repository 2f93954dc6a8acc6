// Feeds arbitrary bytes to one SIP-C connection of an in-memory server that
// holds the demo world. The first byte chooses whether the connection is
// already signed in (as the demo's first account) and where the bytes are
// split into reads; the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "demo_seed.h"
#include "options.h"
#include "sipc_service.h"
#include "store.h"

using namespace tavrin::server;

namespace {

struct World {
  Options options;
  Store store{":memory:", "tavrin.local"};
  std::unique_ptr<SipcService> service;
  World() {
    options.memoryDb = true;
    seedDemo(store);
    service = std::make_unique<SipcService>(nullptr, store, options);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  if (size == 0) return 0;
  uint8_t mode = data[0];
  std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
  SipcConnection& c = world.service->openDetached();
  if (mode & 1) {
    c.session.registered = true;
    c.session.number = 100000001;
    c.session.regCallId = 1;
    c.session.presence = 400;
    world.service->setOnline(100000001, &c);
  }
  size_t step = (mode >> 1) == 0 ? stream.size() : (mode >> 1);
  for (size_t at = 0; at < stream.size() && !c.closed(); at += step)
    c.feed(stream.substr(at, step));
  c.close();
  world.service->collectClosed();
  return 0;
}
