// Colour conversion and the three alpha modes, held against the rules written
// out longhand, over every old pixel value.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/PixelCanvas.h"
#include "gfx/Rgb565.h"

using namespace tavrin::gfx;

namespace {

// The packed form, exactly as the drawing rules state it.
uint16_t packed_blend(uint16_t old, uint16_t colour, int alpha) {
  if (alpha == 255) return colour;
  if (alpha == 128) return uint16_t(((old & 0xF7DF) >> 1) + ((colour & 0xF7DF) >> 1));
  const int a = alpha >> 2;
  const int rb = (old & 0xF81F) + ((((colour & 0xF81F) - (old & 0xF81F)) * a) >> 6);
  const int g = (old & 0x07E0) + ((((colour & 0x07E0) - (old & 0x07E0)) * a) >> 6);
  return uint16_t((rb & 0xF81F) | (g & 0x07E0));
}

const uint16_t kColours[] = {0x0000, 0xFFFF, 0xF800, 0x07E0, 0x001F, 0x8410, 0x7BEF,
                             0x1234, 0xFEDC, 0xA5A5, 0x5A5A, 0x0821, 0xF7DE};

}  // namespace

TEST(Colour, ConvertsBgrToRgb565) {
  struct Case {
    Colour in;
    uint16_t out;
  } cases[] = {
      {0x000000, 0x0000}, {0xFFFFFF, 0xFFFF}, {0x0000FF, 0xF800}, {0x00FF00, 0x07E0},
      {0xFF0000, 0x001F}, {0x808080, 0x8410}, {0x070307, 0x0000}, {0x080408, 0x0821},
  };
  for (const Case& c : cases) EXPECT_EQ(to_rgb565(c.in), c.out) << std::hex << c.in;
}

TEST(AlphaModes, ZeroLeavesFullWritesHalfIsTruncatedMean) {
  for (uint16_t colour : kColours) {
    for (int old = 0; old < 0x10000; ++old) {
      const uint16_t o = uint16_t(old);
      ASSERT_EQ(blend565(o, colour, 0), o);
      ASSERT_EQ(blend565(o, colour, 255), colour);
      // Each channel is the mean of old and new with its lowest bit dropped.
      const uint16_t half = blend565(o, colour, 128);
      const int r = ((o >> 11) >> 1) + ((colour >> 11) >> 1);
      const int g = (((o >> 5) & 63) >> 1) + (((colour >> 5) & 63) >> 1);
      const int b = ((o & 31) >> 1) + ((colour & 31) >> 1);
      ASSERT_EQ(half, uint16_t((r << 11) | (g << 5) | b)) << old << " " << colour;
    }
  }
}

TEST(AlphaModes, SpanLoopMatchesPackedRuleForEveryAlpha) {
  // Every fifth value covers each channel's whole range against each colour.
  std::vector<uint16_t> olds;
  for (int i = 0; i < 0x10000; i += 5) olds.push_back(uint16_t(i));
  olds.push_back(0xFFFF);
  for (uint16_t colour : kColours) {
    for (int alpha = 0; alpha <= 255; ++alpha) {
      std::vector<uint16_t> row = olds;
      blend_run(row.data(), int(row.size()), colour, alpha);
      for (size_t i = 0; i < olds.size(); ++i) {
        ASSERT_EQ(row[i], packed_blend(olds[i], colour, alpha))
            << "old " << olds[i] << " colour " << colour << " alpha " << alpha;
        ASSERT_EQ(blend565(olds[i], colour, alpha), row[i]);
      }
    }
  }
}

TEST(AlphaModes, OutOfRangeAlphaIsClamped) {
  EXPECT_EQ(blend565(0x1234, 0xFFFF, -40), 0x1234);
  EXPECT_EQ(blend565(0x1234, 0xFFFF, 300), 0xFFFF);
}
