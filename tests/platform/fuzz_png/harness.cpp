// PNG files as theme packages and file pickers hand them over.
#include <cstddef>
#include <cstdint>

#include "platform/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (auto img = tavrin::platform::decode_png_memory(data, size)) {
    // Every pixel premultiplied: no channel above its alpha.
    for (uint32_t px : img->pixels) {
      const uint32_t a = px >> 24;
      if (((px >> 16) & 0xff) > a || ((px >> 8) & 0xff) > a || (px & 0xff) > a) __builtin_trap();
    }
  }
  return 0;
}
