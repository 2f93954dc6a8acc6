// The primitive family: exact pixels where the rules give them, and no write
// outside the canvas for any rectangle.
#include "gfx/Primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "test_support.h"

using namespace tavrin::gfx;
using gfx_test::GuardedCanvas;

namespace {
constexpr Colour kRed = 0x0000FF;  // 0x00BBGGRR
constexpr uint16_t kRed565 = 0xF800;
constexpr uint16_t kGrey = 0x8410;
}  // namespace

TEST(Primitives, NothingIsWrittenOutsideTheCanvasForAnyRectangle) {
  const Rect rects[] = {
      {-50, -50, 10, 10},
      {-1000, -1000, 1000, 1000},
      {30, 20, 60, 50},
      {100, 100, 200, 200},
      {10, 10, 5, 5},
      {-200, 5, -100, 25},
      {0, 0, 40, 30},
      {-(1 << 20), -(1 << 20), 1 << 20, 1 << 20},
      {39, 29, 41, 31},
      {-3, -3, 2, 2},
      {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
      {INT_MAX, INT_MAX, INT_MIN, INT_MIN},
  };
  for (const Rect& r : rects) {
    SCOPED_TRACE(testing::Message() << r.left << "," << r.top << "," << r.right << "," << r.bottom);
    GuardedCanvas g(40, 30, kGrey);
    PixelCanvas& c = g.canvas();
    for (int alpha : {0, 77, 128, 255, 300, -5}) {
      draw_hline(c, r.top, r.left, r.right, kRed, alpha, true, true);
      draw_hline(c, r.bottom, r.right, r.left, kRed, alpha, true, true);
      draw_vline(c, r.left, r.top, r.bottom, kRed, alpha, true);
      draw_vline(c, r.right, r.bottom, r.top, kRed, alpha, true);
      draw_frame(c, kRed, r, alpha, true);
      fill_rect(c, kRed, r, alpha, true);
      draw_pixel(c, r.left, r.top, kRed, alpha, true);
      draw_pixel(c, r.right, r.bottom, kRed, alpha, true);
      draw_faded_hline(c, r.top, r.left, r.right, kRed, alpha, 7);
      draw_rounded_frame(c, kRed, r, alpha);
      fill_rounded(c, kRed, r, alpha, true);
      for (int style = 0; style <= 8; ++style) {
        fill_shaded(c, kRed, 0xFFFFFF, r, alpha, style, true);
        draw_glossy_panel(c, kRed, 0xFFFFFF, r, alpha, style);
      }
      draw_highlight_cap(c, r);
      const long long span = std::min(std::llabs(1LL * r.right - r.left), 1LL << 30);
      draw_disc(c, r.left, r.top, int(span / 2), kRed, alpha);
      draw_soft_disc(c, r.right, r.bottom, int(span / 3), kRed, alpha);
      draw_disc(c, r.right, r.top, INT_MAX, kRed, alpha);
    }
    EXPECT_TRUE(g.guards_intact());
  }
}

TEST(Primitives, HorizontalLineSpanCapsAndGlow) {
  GuardedCanvas g(20, 5, kGrey);
  draw_hline(g.canvas(), 2, 12, 5, kRed, 255, true, true);  // swapped ends
  for (int x = 0; x < 20; ++x) {
    const bool line = x >= 5 && x < 12, cap = x == 4 || x == 12;
    EXPECT_EQ(g.at(x, 2), line || cap ? kRed565 : kGrey) << x;
    // Glow rows at half the alpha, without caps.
    const uint16_t glow = line ? blend565(kGrey, kRed565, 127) : kGrey;
    EXPECT_EQ(g.at(x, 1), glow) << x;
    EXPECT_EQ(g.at(x, 3), glow) << x;
    EXPECT_EQ(g.at(x, 0), kGrey);
  }
}

TEST(Primitives, VerticalLineStartsAtZeroAndClipsAtTheHeight) {
  GuardedCanvas g(4, 10, kGrey);
  draw_vline(g.canvas(), 1, -5, 50, kRed, 255);
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(g.at(1, y), kRed565);
    EXPECT_EQ(g.at(0, y), kGrey);
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(Primitives, FadedLineStepsDownTowardsBothEnds) {
  GuardedCanvas g(20, 1, kGrey);
  draw_faded_hline(g.canvas(), 0, 2, 18, kRed, 200, 4);  // step 50
  const int expected[20] = {-1,  -1,  0,   50,  100, 150, 200, 200, 200, 200,
                            200, 200, 200, 200, 150, 100, 50,  0,   -1,  -1};
  for (int x = 0; x < 20; ++x) {
    const uint16_t want = expected[x] < 0 ? kGrey : blend565(kGrey, kRed565, expected[x]);
    EXPECT_EQ(g.at(x, 0), want) << x;
  }
}

TEST(Primitives, RoundedFillInsetsTheFirstAndLastFiveRows) {
  GuardedCanvas g(20, 12, 0);
  fill_rounded(g.canvas(), kRed, {0, 0, 20, 12}, 255);
  const int insets[12] = {4, 3, 3, 2, 2, 0, 0, 2, 2, 3, 3, 4};
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool in = x >= insets[y] && x < 20 - insets[y];
      EXPECT_EQ(g.at(x, y), in ? kRed565 : 0) << x << "," << y;
    }
  }
}

TEST(Primitives, ShadeAlphasStayInRangeOnTallRectangles) {
  // Style 3 loses 2 and style 6 loses 3 per row from 160; style 4 gains 1
  // per row. On 600 rows none may wrap around.
  struct Case {
    int style;
    int row;
    int alpha;  // -1: row untouched
  } cases[] = {
      {3, 0, 160},   {3, 79, 2},   {3, 80, 0},   {3, 81, -1},  {3, 599, -1},  {6, 53, 1},
      {6, 54, -1},   {6, 299, -1}, {4, 0, 160},  {4, 95, 255}, {4, 299, 255}, {4, 500, 255},
      {4, 599, 161}, {1, 0, 160},  {1, 299, -1}, {2, 0, 160},  {2, 200, -1},  {2, 599, 159},
  };
  for (const Case& c : cases) {
    GuardedCanvas g(10, 600, kGrey);
    fill_shaded(g.canvas(), 0, 0xFFFFFF, {0, 0, 10, 600}, 255, c.style, false);
    const uint16_t want = c.alpha < 0 ? kGrey : blend565(kGrey, 0xFFFF, c.alpha);
    EXPECT_EQ(g.at(5, c.row), want) << "style " << c.style << " row " << c.row;
  }
}

TEST(Primitives, CirclesWhollyOffTheDisplaySkipTheLastColumnAndRow) {
  // Column 479 and row 799 count as off the display: a disc touching only
  // them draws nothing, one reaching column 478 draws.
  GuardedCanvas g(480, 800, 0);
  draw_disc(g.canvas(), 485, 100, 6, kRed, 255);
  draw_disc(g.canvas(), 100, 805, 6, kRed, 255);
  draw_soft_disc(g.canvas(), 479 + 20, 400, 4, kRed, 255);
  EXPECT_EQ(g.pixels(), std::vector<uint16_t>(480 * 800, 0));
  draw_disc(g.canvas(), 484, 100, 6, kRed, 255);
  EXPECT_EQ(g.at(479, 100), kRed565);
  EXPECT_EQ(g.at(478, 100), kRed565);
  EXPECT_EQ(g.at(477, 100), 0);
  EXPECT_TRUE(g.guards_intact());
  // A huge radius still covers the canvas rather than overflowing.
  GuardedCanvas small(8, 8, 0);
  draw_disc(small.canvas(), -1000, -1000, INT_MAX, kRed, 255);
  EXPECT_EQ(small.pixels(), std::vector<uint16_t>(64, kRed565));
}

TEST(Primitives, SoftDiscFallsOffOverFifteenPixels) {
  GuardedCanvas g(100, 1, 0);
  draw_soft_disc(g.canvas(), 10, 0, 5, 0xFFFFFF, 255);
  EXPECT_EQ(g.at(15, 0), 0xFFFF);  // on the radius
  EXPECT_EQ(g.at(16, 0), blend565(0, 0xFFFF, 255 * 14 / 15));
  EXPECT_EQ(g.at(25, 0), blend565(0, 0xFFFF, 255 * 5 / 15));
  EXPECT_EQ(g.at(30, 0), 0);  // 15 beyond the radius: alpha 0
  EXPECT_EQ(g.at(31, 0), 0);
}

// Whole rows move in one piece, part rows one row at a time: both keep
// overlapping rows intact in either direction and leave the rest alone.
TEST(Canvas, CopyHandlesOverlapInBothDirections) {
  for (int left : {0, 1})
    for (int shift : {-3, 3}) {
      GuardedCanvas g(4, 10, 0);
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 4; ++x) g.canvas().row(y)[x] = uint16_t(y * 16 + x);
      g.canvas().copy_from(g.canvas(), {left, 0, 4, 10}, left, shift);
      for (int y = 0; y < 10; ++y) {
        const int src = y - shift;
        const bool moved = src >= 0 && src < 10;
        EXPECT_EQ(g.at(1, y), moved ? uint16_t(src * 16 + 1) : uint16_t(y * 16 + 1))
            << left << " " << shift << " " << y;
        EXPECT_EQ(g.at(0, y), uint16_t((left == 0 && moved ? src : y) * 16))
            << left << " " << shift << " " << y;
      }
      EXPECT_TRUE(g.guards_intact());
    }
}
