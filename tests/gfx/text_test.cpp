// Platform-font text through the engine's own layout, with a fake glyph
// source standing in for the platform's rasteriser.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "gfx/DeviceContext.h"
#include "gfx/PlatformFont.h"
#include "gfx/TextPainter.h"
#include "test_support.h"

using namespace tavrin::gfx;
using gfx_test::GuardedCanvas;

namespace {

// Latin glyphs: 8x10 solid boxes advancing 10; ideographs 14x10 advancing 16.
// Ascent 12, line height 16.
class BoxFont : public PlatformFont {
 public:
  FontMetrics metrics() const override { return {12, 4, 16}; }
  const GlyphBitmap* glyph(char32_t ch) const override {
    auto it = cache_.find(ch);
    if (it != cache_.end()) return &it->second;
    const bool wide = ch >= 0x2E80;
    GlyphBitmap g;
    g.width = wide ? 14 : 8;
    g.height = 10;
    g.left = 1;
    g.top = 10;
    g.advance = wide ? 16 : 10;
    g.coverage.assign(size_t(g.width * g.height), ch == u' ' ? 0 : 255);
    return &cache_.emplace(ch, std::move(g)).first->second;
  }

 private:
  mutable std::map<char32_t, GlyphBitmap> cache_;
};

class RecordingProvider : public FontProvider {
 public:
  std::unique_ptr<PlatformFont> create(const FontSpec& spec) override {
    last = spec;
    return std::make_unique<BoxFont>();
  }
  FontSpec last;
};

constexpr uint16_t kInk = 0xFFFF;

// Rows (top..bottom) and columns of inked pixels.
Rect ink_bounds(const GuardedCanvas& g, int w, int h) {
  Rect r{w, h, -1, -1};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (g.at(x, y) == kInk) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x + 1);
        r.bottom = std::max(r.bottom, y + 1);
      }
  return r;
}

}  // namespace

TEST(PlatformText, AlignmentAndClipping) {
  const BoxFont font;
  struct Case {
    std::u16string text;
    Rect rect;
    unsigned flags;
    Rect ink;
  } cases[] = {
      // Caption: 20 wide centred in 100 -> pen 40; line 16 in 40 -> top 12,
      // baseline 24, glyph rows 14..23.
      {u"ab", {0, 0, 100, 40}, kTextCaption, {41, 14, 59, 24}},
      // Right-aligned and longer than the rectangle: clipped to it.
      {u"abcdef", {0, 0, 35, 20}, kTextRight | kTextSingleLine, {0, 2, 34, 12}},
      // Word break after the space: "cd" on the second line.
      {u"ab cd", {0, 0, 35, 60}, kTextWordBreak, {1, 2, 19, 28}},
      // Ideographs break anywhere: two per 40-pixel line.
      {u"中文字", {0, 0, 40, 60}, kTextWordBreak, {1, 2, 31, 28}},
      // A line break without word breaking.
      {u"a\r\nb", {5, 0, 100, 60}, kTextLeft, {6, 2, 14, 28}},
  };
  for (const Case& c : cases) {
    GuardedCanvas g(100, 60, 0);
    Rect r = c.rect;
    draw_text(g.canvas(), &font, c.text, 0xFFFFFF, r, c.flags);
    EXPECT_EQ(ink_bounds(g, 100, 60), c.ink) << std::string(c.text.begin(), c.text.end());
    EXPECT_TRUE(g.guards_intact());
  }
}

TEST(PlatformText, CalcRectMeasuresWithoutDrawing) {
  const BoxFont font;
  GuardedCanvas g(100, 60, 0);
  Rect r{10, 5, 45, 60};
  EXPECT_EQ(draw_text(g.canvas(), &font, u"ab cd", 0xFFFFFF, r, kTextWordBreak | kTextCalcRect),
            32);
  EXPECT_EQ(r.bottom, 37);
  Rect one{10, 5, 100, 60};
  EXPECT_EQ(draw_text(g.canvas(), &font, u"abc", 0xFFFFFF, one, kTextCalcRect | kTextSingleLine),
            16);
  EXPECT_EQ(one.right, 40);
  EXPECT_EQ(g.pixels(), std::vector<uint16_t>(100 * 60, 0));
  EXPECT_EQ(draw_text(g.canvas(), nullptr, u"ab", 0xFFFFFF, r, 0), 0);
}

TEST(PlatformText, FontsComeFromTheInstalledProvider) {
  set_font_provider(nullptr);
  EXPECT_EQ(make_font(30), nullptr);
  RecordingProvider provider;
  set_font_provider(&provider);
  auto font = make_font(30);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(provider.last.face, u"黑体");
  EXPECT_EQ(provider.last.height, 30);
  EXPECT_EQ(provider.last.weight, 400);
  EXPECT_EQ(provider.last.pitch_and_family, 0x22);
  EXPECT_EQ(provider.last.out_precision, 1);
  ASSERT_NE(make_font(kEditFace, 24), nullptr);
  EXPECT_EQ(provider.last.face, u"宋体");

  // Through a device context: selected font, text colour, transparent background.
  GuardedCanvas g(60, 20, 0x1234);
  DeviceContext dc(g.canvas());
  dc.select_font(font.get());
  dc.set_text_colour(0x0000FF);
  dc.draw_text(u"a", Rect{0, 0, 60, 20}, kTextLeft | kTextSingleLine);
  EXPECT_EQ(g.at(1, 2), 0xF800);
  EXPECT_EQ(g.at(0, 2), 0x1234);
  set_font_provider(nullptr);
}
