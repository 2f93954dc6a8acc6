#include "gfx/ImageBlend.h"

#include <algorithm>
#include <array>

#include "gfx/Rgb565.h"

namespace tavrin::gfx {
namespace {

// ceil(255 * 65536 / a): (n * r) >> 16 == floor(n * 255 / a) for n <= 255,
// since the reciprocal's error n * e / 65536 stays below 1 / a.
struct Reciprocals {
  std::array<uint32_t, 256> r{};
  Reciprocals() {
    for (uint32_t a = 1; a < 256; ++a) r[a] = (255u * 65536u + a - 1) / a;
  }
};
const Reciprocals kRecip;

inline uint32_t unpremul_fast(uint32_t n, uint32_t recip) {
  return std::min<uint32_t>((n * recip) >> 16, 255);
}

inline uint16_t unpremul565_fast(uint32_t p, uint32_t a) {
  const uint32_t rc = kRecip.r[a];
  const uint32_t r = unpremul_fast((p >> 16) & 0xFF, rc);
  const uint32_t g = unpremul_fast((p >> 8) & 0xFF, rc);
  const uint32_t b = unpremul_fast(p & 0xFF, rc);
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

inline uint16_t opaque565(uint32_t p) {
  return uint16_t(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
}

}  // namespace

uint32_t unpremultiply(uint32_t channel, uint32_t alpha) {
  return std::min<uint32_t>(channel * 255 / alpha, 255);
}

uint16_t unpremultiplied_565(uint32_t argb) {
  const uint32_t a = argb >> 24;
  const uint32_t r = unpremultiply((argb >> 16) & 0xFF, a);
  const uint32_t g = unpremultiply((argb >> 8) & 0xFF, a);
  const uint32_t b = unpremultiply(argb & 0xFF, a);
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

void blend_image_row(uint16_t* dst, const uint32_t* src, int count) {
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const uint32_t a = p >> 24;
    if (a == 0) continue;
    if (a == 255) {
      dst[i] = opaque565(p);
    } else {
      dst[i] = blend565_image(dst[i], unpremul565_fast(p, a), int(a));
    }
  }
}

void blend_image_row_opacity(uint16_t* dst, const uint32_t* src, int count, int opacity,
                             bool invert) {
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const uint32_t a = p >> 24;
    const int e = opacity < 100 ? int(a) * opacity / 100 : int(a);
    if (e <= 0) continue;
    uint16_t colour = unpremul565_fast(p, a);
    if (invert) colour = uint16_t(~colour);
    dst[i] = e >= 255 ? colour : blend565_image(dst[i], colour, e);
  }
}

void blend_image_row_reference(uint16_t* dst, const uint32_t* src, int count, int opacity,
                               bool invert) {
  const bool fast = opacity >= 100 && !invert;
  for (int i = 0; i < count; ++i) {
    const uint32_t p = src[i];
    const int a = int(p >> 24);
    const int e = fast || opacity >= 100 ? a : a * opacity / 100;
    if (e <= 0) continue;
    uint16_t colour = unpremultiplied_565(p);
    if (invert) colour = uint16_t(~colour);
    if (e == 255) {
      dst[i] = colour;
      continue;
    }
    const int f5 = e >> 3, f6 = e >> 2;
    const int ro = dst[i] >> 11, go = (dst[i] >> 5) & 63, bo = dst[i] & 31;
    const int rn = colour >> 11, gn = (colour >> 5) & 63, bn = colour & 31;
    dst[i] = uint16_t(((ro + (((rn - ro) * f5) >> 5)) << 11) |
                      ((go + (((gn - go) * f6) >> 6)) << 5) | (bo + (((bn - bo) * f5) >> 5)));
  }
}

}  // namespace tavrin::gfx
