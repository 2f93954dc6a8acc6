// Skin images: the fast path and the opacity/invert path against the plain
// per-pixel rules over every alpha and channel value, and the placement and
// clipping rules of a draw.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <vector>

#include "gfx/CSkinImage.h"
#include "gfx/ImageBlend.h"
#include "gfx/PictureCache.h"
#include "gfx/ScaledImage.h"
#include "test_support.h"

using namespace tavrin::gfx;
using tavrin::platform::ArgbImage;

namespace {

// Every (alpha, channel) pair, with the three channels offset so they differ.
std::vector<uint32_t> all_alpha_channel_pairs() {
  std::vector<uint32_t> px;
  for (uint32_t a = 0; a < 256; ++a)
    for (uint32_t c = 0; c < 256; ++c)
      px.push_back((a << 24) | (c << 16) | (((c * 7) & 0xFF) << 8) | ((c * 13 + 5) & 0xFF));
  return px;
}

std::vector<uint16_t> backgrounds(size_t n) {
  std::vector<uint16_t> bg(n);
  for (size_t i = 0; i < n; ++i) bg[i] = uint16_t(i * 40503u >> 3);
  return bg;
}

}  // namespace

TEST(ImageBlend, UnpremultiplyIsExactIntegerDivisionCappedAt255) {
  for (uint32_t a = 1; a < 256; ++a)
    for (uint32_t c = 0; c < 256; ++c)
      ASSERT_EQ(unpremultiply(c, a), std::min<uint32_t>(c * 255 / a, 255)) << a << " " << c;
}

TEST(ImageBlend, FastLoopsMatchThePerPixelRules) {
  const std::vector<uint32_t> src = all_alpha_channel_pairs();
  const std::vector<uint16_t> bg = backgrounds(src.size());
  {
    std::vector<uint16_t> fast = bg, portable = bg, ref = bg;
    blend_image_row(fast.data(), src.data(), int(src.size()));
    blend_image_row_portable(portable.data(), src.data(), int(src.size()));
    blend_image_row_reference(ref.data(), src.data(), int(src.size()), 100, false);
    ASSERT_EQ(fast, ref);
    ASSERT_EQ(portable, ref);
    // Odd lengths and offsets exercise the vector loop's tail.
    for (int n : {1, 7, 9, 15, 17}) {
      std::vector<uint16_t> f(bg.begin(), bg.begin() + n), r = f;
      blend_image_row(f.data(), src.data() + 32768 + n, n);
      blend_image_row_reference(r.data(), src.data() + 32768 + n, n, 100, false);
      ASSERT_EQ(f, r) << n;
    }
  }
  for (int opacity : {-10, 0, 1, 37, 50, 99, 100, 250}) {
    for (bool invert : {false, true}) {
      std::vector<uint16_t> fast = bg, ref = bg;
      blend_image_row_opacity(fast.data(), src.data(), int(src.size()), opacity, invert);
      blend_image_row_reference(ref.data(), src.data(), int(src.size()), opacity, invert);
      ASSERT_EQ(fast, ref) << "opacity " << opacity << " invert " << invert;
    }
  }
}

TEST(ImageBlend, KnownPixels) {
  struct Case {
    uint32_t src;
    uint16_t old;
    int opacity;
    bool invert;
    uint16_t want;
  } cases[] = {
      {0x00FFFFFF, 0x1234, 100, false, 0x1234},  // alpha 0 whatever the colour bits
      {0x00FFFFFF, 0x1234, 50, true, 0x1234},
      {0xFFFF0000, 0x0000, 100, false, 0xF800},  // opaque: plain conversion
      {0xFFFF0000, 0x0000, 100, true, 0x07FF},   // inverted
      // Alpha 128, red 128 premultiplied: colour 255 -> 31; factor 16/32.
      {0x80800000, 0x0000, 100, false, 0x7800},
      // Opacity 50 of alpha 255 -> 127: red factor 15/32 of 31 = 14.
      {0xFFFF0000, 0x0000, 50, false, 0x7000},
      // Not premultiplied (channel above alpha) saturates instead of spilling.
      {0x10FF00FF, 0x0000, 100, false, 0x0801},
  };
  for (const Case& c : cases) {
    uint16_t d = c.old;
    if (c.opacity >= 100 && !c.invert)
      blend_image_row(&d, &c.src, 1);
    else
      blend_image_row_opacity(&d, &c.src, 1, c.opacity, c.invert);
    EXPECT_EQ(d, c.want) << std::hex << c.src;
  }
}

TEST(SkinImage, PlacementAndClipping) {
  // A 6x4 opaque image whose pixels tell their own coordinates.
  ArgbImage img{6, 4, {}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      img.pixels.push_back(0xFF000000u | uint32_t(x << 19) | uint32_t(y << 3));
  auto image_pixel = [](int x, int y) { return uint16_t((x << 11) | y); };
  CSkinImage skin;
  ASSERT_TRUE(skin.load(img));

  struct Case {
    int x, y;
    std::optional<Rect> src;
    int dx, dy;  // canvas pixel (x, y) shows image pixel (x - dx, y - dy) where drawn
    Rect drawn;  // canvas area that changes
  } cases[] = {
      {2, 1, std::nullopt, 2, 1, {2, 1, 8, 5}},
      {-3, -2, std::nullopt, -3, -2, {0, 0, 3, 2}},
      {5, 5, Rect{1, 1, 3, 3}, 5, 5, {5, 5, 7, 7}},
      {7, 6, std::nullopt, 7, 6, {7, 6, 10, 8}},  // clipped right and bottom
      {0, 0, Rect{0, 0, 7, 3}, 0, 0, {}},         // source wider than the image
      {0, 0, Rect{-1, 0, 3, 3}, 0, 0, {}},        // source starting outside
      {0, 0, Rect{2, 2, 2, 3}, 0, 0, {}},         // empty source
      {10, 0, std::nullopt, 0, 0, {}},            // wholly right of the canvas
      {-6, 0, std::nullopt, 0, 0, {}},            // wholly left
      {INT_MIN, INT_MIN, std::nullopt, 0, 0, {}},
      {INT_MAX, INT_MAX, std::nullopt, 0, 0, {}},
  };
  for (const Case& c : cases) {
    gfx_test::GuardedCanvas g(10, 8, 0xFFFF);
    skin.draw(g.canvas(), c.x, c.y, c.src ? &*c.src : nullptr);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 10; ++x) {
        const bool in =
            x >= c.drawn.left && x < c.drawn.right && y >= c.drawn.top && y < c.drawn.bottom;
        const int ix = x - c.dx + (c.src ? c.src->left : 0);
        const int iy = y - c.dy + (c.src ? c.src->top : 0);
        ASSERT_EQ(g.at(x, y), in ? image_pixel(ix, iy) : 0xFFFF)
            << "case at " << c.x << "," << c.y << " pixel " << x << "," << y;
      }
    EXPECT_TRUE(g.guards_intact());
  }
}

TEST(SkinImage, FailedLoadsDrawNothing) {
  gfx_test::TempDir dir;
  CSkinImage skin;
  EXPECT_FALSE(skin.load(dir.file("missing.png")));
  EXPECT_FALSE(skin.load(gfx_test::write_file(dir, "bad.png", {0x89, 'P', 'N', 'G', 0, 1})));
  EXPECT_FALSE(skin.load(ArgbImage{3, 3, std::vector<uint32_t>(8, 0xFFFFFFFF)}));
  gfx_test::GuardedCanvas g(4, 4, 0x1111);
  skin.draw(g.canvas(), 0, 0);
  EXPECT_EQ(g.pixels(), std::vector<uint16_t>(16, 0x1111));

  ArgbImage red{2, 2, std::vector<uint32_t>(4, 0xFFFF0000)};
  ASSERT_TRUE(tavrin::platform::save_png_argb(dir.file("red.png"), red));
  ASSERT_TRUE(skin.load(dir.file("red.png")));
  skin.draw(g.canvas(), 1, 1);
  EXPECT_EQ(g.at(1, 1), 0xF800);
  EXPECT_EQ(g.at(0, 0), 0x1111);
}

TEST(PictureCache, APictureIsDecodedOnceAndAgainWhenItsFileChanges) {
  gfx_test::TempDir dir;
  const std::string path = dir.file("bk.png");
  ASSERT_TRUE(tavrin::platform::save_png_argb(path, ArgbImage{4, 4, std::vector(16, 0xFFFF0000u)}));
  const auto first = cached_picture(path, 2, 2);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->width, 2);  // fitted
  EXPECT_EQ(first->pixels[0], 0xFFFF0000u);
  EXPECT_EQ(cached_picture(path, 2, 2), first) << "decoded again for the same file";
  ASSERT_TRUE(tavrin::platform::save_png_argb(path, ArgbImage{1, 1, {0xFF0000FFu}}));
  const auto changed = cached_picture(path, 2, 2);
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->pixels[0], 0xFF0000FFu);
  std::filesystem::remove(path);
  EXPECT_FALSE(cached_picture(path, 2, 2));
}

TEST(ScaledImage, StretchesIntoTheDestinationAndReportsTheImage) {
  gfx_test::TempDir dir;
  ArgbImage two{2, 1, {0xFFFF0000, 0x00000000}};  // red, transparent
  ASSERT_TRUE(tavrin::platform::save_png_argb(dir.file("two.png"), two));
  gfx_test::GuardedCanvas g(8, 2, 0x1111);
  ImageInfo info;
  ASSERT_TRUE(draw_png_file(g.canvas(), dir.file("two.png"), {-2, 0, 10, 2}, &info));
  EXPECT_EQ(info.width, 2);
  EXPECT_EQ(info.height, 1);
  EXPECT_TRUE(info.has_alpha);
  // Destination columns -2..3 take the red pixel, 4..9 the transparent one.
  for (int x = 0; x < 8; ++x) EXPECT_EQ(g.at(x, 1), x < 4 ? 0xF800 : 0x1111) << x;
  EXPECT_FALSE(draw_png_file(g.canvas(), dir.file("none.png"), {0, 0, 8, 2}));
  EXPECT_TRUE(g.guards_intact());
}
