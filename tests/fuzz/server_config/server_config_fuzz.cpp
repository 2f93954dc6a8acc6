// Reads arbitrary bytes as tavrin-server's configuration file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavrin::server::Options options;
  (void)tavrin::server::parseConfig(std::string_view(reinterpret_cast<const char*>(data), size),
                                    "fuzz.conf", options);
  return 0;
}
