// The bitmap font on a synthetic font file: placement, metrics, wrapping,
// stop rules, the glyph limit, the display test and a short font file.
#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

#include "gfx/CBitmapFont.h"
#include "test_support.h"

using namespace tavrin::gfx;
using gfx_test::GuardedCanvas;

namespace {

constexpr uint16_t kBg = 0x0000;
constexpr Colour kWhite = 0xFFFFFF;

// Glyph 0 (the character A1A1) is a solid 20x20 block; every other glyph is
// one bar in its left column, so a drawn glyph shows exactly where it went.
uint32_t bar_pattern(int glyph, int) {
  return glyph == 0 ? 0xFFFFF0 : 0x800000;
}

struct Fonts {
  gfx_test::TempDir dir;
  CBitmapFont full;    // 7500 glyphs: past the 7445 limit
  CBitmapFont short_;  // 10 glyphs: every real character lies beyond it
  Fonts() {
    EXPECT_TRUE(
        full.load(gfx_test::write_file(dir, "HZK20.FT", gfx_test::make_font(7500, bar_pattern))));
    EXPECT_TRUE(
        short_.load(gfx_test::write_file(dir, "short.FT", gfx_test::make_font(10, bar_pattern))));
  }
};

Fonts& fonts() {
  static Fonts f;
  return f;
}

// Columns holding a drawn bar, with the first row of each.
std::map<int, int> bars(const GuardedCanvas& g, const PixelCanvas& c) {
  std::map<int, int> out;
  for (int x = 0; x < c.width; ++x)
    for (int y = 0; y < c.height; ++y)
      if (g.at(x, y) != kBg) {
        out.emplace(x, y);
        break;
      }
  return out;
}

std::map<int, int> draw_bars(const std::string& text, Rect rect, int w = 120, int h = 100) {
  GuardedCanvas g(w, h, kBg);
  fonts().full.draw(g.canvas(), text.data(), int(text.size()), kWhite, rect, 255);
  EXPECT_TRUE(g.guards_intact());
  return bars(g, g.canvas());
}

}  // namespace

TEST(BitmapFont, CapitalIAndSmallLUseTheirNudgesAndAdvances) {
  // Pen 10: I drawn at 8 (one row lower, as every capital), pen 19; l drawn
  // at 16, pen 26; l drawn at 23.
  EXPECT_EQ(draw_bars("Ill", {10, 0, 120, 100}), (std::map<int, int>{{8, 1}, {16, 0}, {23, 0}}));
}

TEST(BitmapFont, VerticalNudgeLastsForOneCharacter) {
  EXPECT_EQ(draw_bars("9pa", {0, 0, 120, 100}), (std::map<int, int>{{0, 1}, {10, 1}, {21, 0}}));
  // Space moves 8 without drawing; other characters advance 11.
  EXPECT_EQ(draw_bars("x y", {0, 0, 120, 100}), (std::map<int, int>{{0, 0}, {19, 0}}));
}

TEST(BitmapFont, GlyphsFrom7445OnAdvanceWithoutDrawing) {
  // F0B4 is glyph 7445, F0B3 is 7444, FEFE far beyond.
  EXPECT_EQ(draw_bars("\xF0\xB4\xF0\xB3\xFE\xFE\xF0\xB3", {0, 0, 120, 100}),
            (std::map<int, int>{{20, 0}, {60, 0}}));
  // Lead bytes below A1 give negative glyph numbers: nothing is read or
  // drawn, and the pen still moves 20.
  EXPECT_EQ(draw_bars("\x80\x41\xA0\xA0\xF0\xB3", {0, 0, 120, 100}), (std::map<int, int>{{40, 0}}));
}

TEST(BitmapFont, WrapsAtTheRightEdgeAndStopsAtTheBottom) {
  const std::string wide = "\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1";  // five Chinese characters
  GuardedCanvas g(60, 100, kBg);
  fonts().full.draw(g.canvas(), wide.data(), int(wide.size()), kWhite, {0, 0, 50, 40}, 255);
  // Two per line (pen 40 + 20 > 50 wraps), two lines fit in 40 rows; the
  // fifth character would start a line passing the bottom.
  for (int y = 0; y < 100; ++y) {
    EXPECT_EQ(g.at(0, y) != kBg, y < 40) << y;
    EXPECT_EQ(g.at(20, y) != kBg, y < 40) << y;
    EXPECT_EQ(g.at(40, y), kBg) << y;
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(BitmapFont, GlyphPixelsSkipTheDisplaysLastColumnAndRow) {
  GuardedCanvas g(480, 800, kBg);
  const std::string block = "\xA1\xA1";  // the solid glyph
  fonts().full.draw(g.canvas(), block.data(), 2, kWhite, {470, 790, 480, 820}, 255);
  EXPECT_EQ(g.at(470, 790), 0xFFFF);
  EXPECT_EQ(g.at(478, 798), 0xFFFF);
  for (int i = 470; i < 480; ++i) {
    EXPECT_EQ(g.at(479, i + 320), kBg);
    EXPECT_EQ(g.at(i, 799), kBg);
  }
  EXPECT_TRUE(g.guards_intact());
}

TEST(BitmapFont, AlphaModesApplyToGlyphPixels) {
  GuardedCanvas g(30, 20, 0x8410);
  const std::string block = "\xA1\xA1";
  fonts().full.draw(g.canvas(), block.data(), 2, kWhite, {0, 0, 30, 20}, 128);
  EXPECT_EQ(g.at(5, 5), blend565(0x8410, 0xFFFF, 128));
  EXPECT_EQ(g.at(25, 5), 0x8410);
}

TEST(BitmapFont, DrawsNothingWithoutInputsOrBeyondTheFontFile) {
  GuardedCanvas g(120, 100, kBg);
  PixelCanvas& c = g.canvas();
  const std::string text =
      "\xB0\xA1"
      "AB";
  fonts().short_.draw(c, text.data(), int(text.size()), kWhite, {0, 0, 120, 100}, 255);
  fonts().full.draw(c, nullptr, 4, kWhite, {0, 0, 120, 100}, 255);
  fonts().full.draw(c, text.data(), 0, kWhite, {0, 0, 120, 100}, 255);
  CBitmapFont unloaded;
  unloaded.draw(c, text.data(), int(text.size()), kWhite, {0, 0, 120, 100}, 255);
  EXPECT_FALSE(unloaded.load(fonts().dir.file("missing.FT")));
  // A lead byte with no trail byte inside the length.
  const std::vector<char> lone = {'\xB0'};
  fonts().full.draw(c, lone.data(), 1, kWhite, {0, 0, 120, 100}, 255);
  fonts().full.draw(c, text.data(), int(text.size()), kWhite, {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                    255);
  fonts().full.draw(c, text.data(), int(text.size()), kWhite, {INT_MIN, INT_MIN, INT_MIN, INT_MIN},
                    255);
  EXPECT_EQ(g.pixels(), std::vector<uint16_t>(120 * 100, kBg));
  EXPECT_TRUE(g.guards_intact());
}

TEST(BitmapFont, OnlyTheFirst255BytesCount) {
  // Spaces carry the pen from a far-left start to x = 0, where an "A" would show.
  for (int spaces : {254, 255}) {
    const std::string text = std::string(size_t(spaces), ' ') + "A";
    const auto drawn = draw_bars(text, {-8 * spaces, 0, 100000, 100});
    EXPECT_EQ(drawn, spaces == 254 ? (std::map<int, int>{{0, 1}}) : (std::map<int, int>{}))
        << spaces;
  }
}
