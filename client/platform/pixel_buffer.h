// A view on RGB565 pixels that someone else owns (a surface, the display's
// frame, a test buffer). stride is in pixels.
#pragma once

#include <cstdint>

namespace tavrin::platform {

struct PixelBuffer565 {
  uint16_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;
};

// 0x00BBGGRR (red in the low byte, the theme files' order) to RGB565.
inline uint16_t bgr_to_565(uint32_t c) {
  const uint32_t r = c & 0xff, g = (c >> 8) & 0xff, b = (c >> 16) & 0xff;
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

}  // namespace tavrin::platform
