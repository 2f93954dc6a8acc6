// Picture files a person picks (any bytes under any name): every kind is
// decoded or refused without a crash, within the limits, and what decodes
// has as many pixels as it says and fits the size it was asked to.
#include <cstddef>
#include <cstdint>

#include "platform/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavrin::platform;
  if (size < 1) return 0;
  const FitSize fit{1 + data[0] % 64, 1 + data[0] / 4};
  for (FitSize f : {FitSize{}, fit}) {
    const auto image = decode_picture_memory(data + 1, size - 1, f);
    if (!image) continue;
    if (image->width <= 0 || image->height <= 0 ||
        image->pixels.size() != size_t(image->width) * size_t(image->height) ||
        long(image->width) * image->height > kMaxPicturePixels)
      __builtin_trap();
    if (f.width > 0 && (image->width > f.width || image->height > f.height)) __builtin_trap();
  }
  return 0;
}
