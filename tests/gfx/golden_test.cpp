// Reference images, compared pixel for pixel: one small scene per family.
// A mismatch writes <name>_err.png (expected | actual | differences) into
// the build tree; TAVRIN_UPDATE_GOLDEN=1 rewrites the references.
#include <gtest/gtest.h>

#include <string>

#include "gfx/CBitmapFont.h"
#include "gfx/CSkinImage.h"
#include "gfx/Primitives.h"
#include "gfx/ScaledImage.h"
#include "test_support.h"

using namespace tavrin::gfx;
using gfx_test::compare_golden;
using gfx_test::GuardedCanvas;

namespace {

struct Scene {
  GuardedCanvas g;
  Scene(int w, int h) : g(w, h) { gfx_test::paint_background(g.canvas()); }
  PixelCanvas& c() { return g.canvas(); }
};

// 24x16 premultiplied image: alpha rises left to right through 0..255 (with
// colour bits left in the alpha-0 column), hue changes top to bottom.
tavrin::platform::ArgbImage gradient_image() {
  tavrin::platform::ArgbImage img{24, 16, {}};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) {
      const uint32_t a = x == 23 ? 255 : uint32_t(x * 11);
      const uint32_t r = y < 8 ? 255 : 40, g = uint32_t(y * 16), b = y < 8 ? 30 : 255;
      img.pixels.push_back(a == 0 ? 0x00FFFFFF
                                  : (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) |
                                        (b * a / 255));
    }
  return img;
}

// Glyph shapes that show position and size: a frame whose width and
// crossbar depend on the glyph number.
uint32_t shape_pattern(int glyph, int row) {
  const int w = 6 + glyph % 12;
  const uint32_t left = 0x800000, right = 0x800000u >> (w - 1);
  if (row == 3 || row == 18) return ((0xFFFFFFu << (24 - w)) & 0xFFFFFF);
  if (row > 3 && row < 18)
    return left | right | (row == 4 + glyph % 13 ? 0xFFFFF0 & (0xFFFFFFu << (24 - w)) : 0);
  return 0;
}

}  // namespace

TEST(Golden, Lines) {
  Scene s(96, 64);
  int row = 4;
  for (int alpha : {255, 200, 128, 64, 0}) {
    draw_hline(s.c(), row, 6, 60, 0xFFFFFF, alpha, true, alpha == 200);
    row += 5;
  }
  draw_hline(s.c(), 32, 120, -20, 0x00FF00, 255);  // swapped and clipped at both ends
  for (int i = 0; i < 4; ++i)
    draw_vline(s.c(), 70 + 6 * i, -4 + 10 * i, 60, 0x0000FF, 255 - 60 * i, i == 1);
  draw_frame(s.c(), 0xFFFF00, {4, 38, 40, 60}, 200, true);
  draw_faded_hline(s.c(), 48, 44, 92, 0xFFFFFF, 255, 16);
  draw_faded_hline(s.c(), 54, 44, 92, 0x000000, 128, 30);  // fades overlap
  EXPECT_EQ(compare_golden("lines", s.c()), "");
}

TEST(Golden, Rectangles) {
  Scene s(96, 64);
  fill_rect(s.c(), 0x0000FF, {-10, -10, 30, 20}, 128);
  fill_rect(s.c(), 0xFF0000, {34, 4, 60, 24}, 200, true);
  fill_rect(s.c(), 0x00FF00, {64, 4, 200, 24}, 77);
  draw_rounded_frame(s.c(), 0xFFFFFF, {4, 30, 44, 60}, 255);
  fill_rounded(s.c(), 0x00FFFF, {50, 30, 92, 60}, 160, true);
  fill_rounded(s.c(), 0xFF00FF, {20, 50, 30, 56}, 255);  // shorter than ten rows
  EXPECT_EQ(compare_golden("rectangles", s.c()), "");
}

TEST(Golden, ShadedFills) {
  Scene s(112, 64);
  for (int style = 1; style <= 7; ++style) {
    const int x = 2 + (style - 1) * 16;
    fill_shaded(s.c(), 0x603020, 0xFFFFFF, {x, 6, x + 14, 56}, 200, style, style != 4);
  }
  EXPECT_EQ(compare_golden("shaded", s.c()), "");
}

TEST(Golden, DiscsAndPixels) {
  Scene s(96, 64);
  draw_disc(s.c(), 16, 16, 10, 0xFFFFFF, 255);
  draw_disc(s.c(), 40, 16, 8, 0x0000FF, 128);
  draw_disc(s.c(), -3, 50, 9, 0x00FF00, 200);  // partly off the canvas
  draw_soft_disc(s.c(), 70, 30, 6, 0xFFFFFF, 220);
  draw_pixel(s.c(), 30, 50, 0xFFFFFF, 255, true);
  draw_pixel(s.c(), 40, 50, 0x00FFFF, 128, true);
  EXPECT_EQ(compare_golden("discs", s.c()), "");
}

TEST(Golden, PanelsAndHighlights) {
  Scene s(128, 64);
  draw_glossy_panel(s.c(), 0xA05020, 0xFFFFFF, {4, 4, 60, 40}, 220, 1);
  draw_glossy_panel(s.c(), 0x2050A0, 0xFFFFFF, {66, 4, 124, 40}, 255, 6);
  fill_rounded(s.c(), 0x206020, {4, 44, 124, 62}, 255);
  draw_highlight_cap(s.c(), {4, 44, 124, 62});
  EXPECT_EQ(compare_golden("panels", s.c()), "");
}

TEST(Golden, ImageFastPath) {
  Scene s(64, 48);
  CSkinImage img;
  ASSERT_TRUE(img.load(gradient_image()));
  img.draw(s.c(), 4, 4);
  img.draw(s.c(), -10, 26);        // source start moved right
  const Rect part{12, 4, 24, 12};  // a cell of the image
  img.draw(s.c(), 50, 40, &part);  // clipped at the canvas corner
  EXPECT_EQ(compare_golden("image_fast", s.c()), "");
}

TEST(Golden, ImageOpacityAndInvert) {
  Scene s(64, 48);
  CSkinImage img;
  ASSERT_TRUE(img.load(gradient_image()));
  img.draw(s.c(), 4, 4, nullptr, 50);
  img.draw(s.c(), 34, 4, nullptr, 100, true);
  img.draw(s.c(), 4, 26, nullptr, 0);  // fully transparent: nothing
  img.draw(s.c(), 34, 26, nullptr, 75, true);
  EXPECT_EQ(compare_golden("image_opacity", s.c()), "");
}

TEST(Golden, ScaledImage) {
  Scene s(64, 48);
  draw_scaled(s.c(), gradient_image(), {-8, 4, 60, 44});
  EXPECT_EQ(compare_golden("image_scaled", s.c()), "");
}

TEST(Golden, BitmapText) {
  gfx_test::TempDir dir;
  CBitmapFont font;
  ASSERT_TRUE(
      font.load(gfx_test::write_file(dir, "HZK20.FT", gfx_test::make_font(7500, shape_pattern))));
  Scene s(160, 100);
  auto draw = [&](const std::string& t, Rect r, Colour c, int alpha) {
    font.draw(s.c(), t.data(), int(t.size()), c, r, alpha);
  };
  draw("Ill 9p:(W)", {6, 2, 160, 100}, 0xFFFFFF, 255);
  // Chinese text wrapping at the right edge; the glyph-7445 character leaves a gap.
  draw("\xB0\xA1\xB0\xA2\xF0\xB4\xB0\xA3\xB0\xA4\xB0\xA5", {4, 24, 70, 100}, 0x00FFFF, 255);
  // Half-alpha text that stops at the rectangle's bottom.
  draw("\xC4\xE3\xBA\xC3\xCA\xC0\xBD\xE7\xC4\xE3\xBA\xC3", {80, 24, 130, 64}, 0x000000, 128);
  EXPECT_EQ(compare_golden("bitmap_text", s.c()), "");
}
