// Colour conversion and the three alpha modes every primitive shares.
//
// Colours come in as 0x00BBGGRR (red in the low byte, as the theme file
// stores them); surfaces hold RGB565. All arithmetic is integer and exact:
// screens and reference images depend on the very bits these produce.
#pragma once

#include <cstdint>

namespace tavrin::gfx {

using Colour = uint32_t;  // 0x00BBGGRR

constexpr uint16_t kRedBlueMask = 0xF81F;
constexpr uint16_t kGreenMask = 0x07E0;

constexpr uint16_t to_rgb565(Colour c) {
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// 255 writes the colour; 128 is the cheap half blend (each channel's low bit
// dropped before halving); anything else blends with a 6-bit factor alpha>>2.
// Alphas outside 0..255 are clamped so a caller's ramp can never wrap.
constexpr uint16_t blend565(uint16_t old, uint16_t colour, int alpha) {
  if (alpha >= 255) return colour;
  if (alpha == 128) return uint16_t(((old & 0xF7DF) >> 1) + ((colour & 0xF7DF) >> 1));
  if (alpha <= 0) return old;
  const int a = alpha >> 2;
  const int rb_old = old & kRedBlueMask, g_old = old & kGreenMask;
  const int rb = rb_old + (((int(colour & kRedBlueMask) - rb_old) * a) >> 6);
  const int g = g_old + (((int(colour & kGreenMask) - g_old) * a) >> 6);
  return uint16_t((rb & kRedBlueMask) | (g & kGreenMask));
}

// The skin-image blend: 5-bit factor for red and blue, 6-bit for green.
constexpr uint16_t blend565_image(uint16_t old, uint16_t colour, int alpha) {
  const int f5 = alpha >> 3, f6 = alpha >> 2;
  const int ro = old >> 11, go = (old >> 5) & 63, bo = old & 31;
  const int rn = colour >> 11, gn = (colour >> 5) & 63, bn = colour & 31;
  const int r = ro + (((rn - ro) * f5) >> 5);
  const int g = go + (((gn - go) * f6) >> 6);
  const int b = bo + (((bn - bo) * f5) >> 5);
  return uint16_t((r << 11) | (g << 5) | b);
}

}  // namespace tavrin::gfx
