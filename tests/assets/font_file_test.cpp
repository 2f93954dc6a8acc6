// The bitmap font DB/HZK20.FT: its exact size, known glyphs against an
// independent FreeType rendering, and coverage of the GB2312 chart.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "asset_manifest.h"

namespace {

constexpr int kRows = 87, kPerRow = 94, kGlyphBytes = 60;

std::vector<unsigned char> read_font() {
  std::ifstream f(tavrin::test::install_path("DB/HZK20.FT"), std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

using Cell = std::array<std::array<bool, 24>, 20>;

Cell glyph_at(const std::vector<unsigned char>& font, int hi, int lo) {
  Cell cell{};
  const size_t base = (static_cast<size_t>(hi - 0xA1) * kPerRow + (lo - 0xA1)) * kGlyphBytes;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 24; ++x) cell[y][x] = (font[base + y * 3 + x / 8] & (0x80 >> (x % 8))) != 0;
  return cell;
}

bool blank(const Cell& c) {
  for (const auto& row : c)
    for (bool b : row)
      if (b) return false;
  return true;
}

std::string picture(const Cell& c) {
  std::string s;
  for (const auto& row : c) {
    for (int x = 0; x < 20; ++x) s += row[x] ? '#' : '.';
    s += '\n';
  }
  return s;
}

// Unicode of a GB2312 code, or 0 when the chart leaves it empty.
char32_t unicode_of(iconv_t cd, int hi, int lo) {
  char in[2] = {static_cast<char>(hi), static_cast<char>(lo)};
  unsigned char out[4] = {};
  char* ip = in;
  char* op = reinterpret_cast<char*>(out);
  size_t il = 2, ol = 4;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || ol != 0) return 0;
  return out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
}

// 20-pixel 1-bit rendering with the face's hints, centred on its advance,
// baseline on row 17: how the font's full-width glyphs are meant to be made.
Cell render_reference(char32_t cp) {
  Cell cell{};
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return cell;
  FT_Face face = nullptr;
  for (FT_Long i = 0; FT_New_Face(lib, TAVRIN_CJK_FONT, i, &face) == 0; ++i) {
    if (std::string(face->family_name) == TAVRIN_CJK_FAMILY) break;
    const FT_Long n = face->num_faces;
    FT_Done_Face(face);
    face = nullptr;
    if (i + 1 >= n) break;
  }
  if (face != nullptr) {
    FT_Set_Pixel_Sizes(face, 0, 20);
    if (FT_Load_Char(face, cp, FT_LOAD_TARGET_MONO) == 0 &&
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) == 0) {
      const FT_GlyphSlot g = face->glyph;
      const int x0 = (20 - static_cast<int>((g->advance.x + 32) >> 6)) / 2 + g->bitmap_left;
      const int y0 = 17 - g->bitmap_top;
      for (unsigned r = 0; r < g->bitmap.rows; ++r)
        for (unsigned c = 0; c < g->bitmap.width; ++c) {
          const int x = x0 + static_cast<int>(c), y = y0 + static_cast<int>(r);
          if (x < 0 || y < 0 || x >= 20 || y >= 20) continue;
          if (g->bitmap.buffer[r * g->bitmap.pitch + c / 8] & (0x80 >> (c % 8))) cell[y][x] = true;
        }
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(lib);
  return cell;
}

TEST(BitmapFont, HoldsEveryGb2312RowAtSixtyBytesAGlyph) {
  // Rows 0xA1..0xF7 of 94 codes each, so the glyph number of any code is in range.
  EXPECT_EQ(read_font().size(), static_cast<size_t>(kRows) * kPerRow * kGlyphBytes);
  EXPECT_GE(kRows * kPerRow, 7445);
}

TEST(BitmapFont, KnownCharactersHaveTheBitsFreeTypeRenders) {
  const auto font = read_font();
  ASSERT_EQ(font.size(), static_cast<size_t>(kRows) * kPerRow * kGlyphBytes);
  struct Known {
    int hi, lo;
    char32_t cp;
  };
  for (const Known k :
       {Known{0xD6, 0xD0, U'中'}, Known{0xCB, 0xFE, U'塔'}, Known{0xA1, 0xA3, U'。'}}) {
    const Cell want = render_reference(k.cp);
    const Cell got = glyph_at(font, k.hi, k.lo);
    ASSERT_FALSE(blank(want)) << "reference rendering failed";
    EXPECT_EQ(picture(got), picture(want)) << std::hex << k.hi << k.lo;
  }
}

TEST(BitmapFont, EveryCharacterOfTheChartHasAGlyphAndEmptyCodesStayBlank) {
  const auto font = read_font();
  ASSERT_EQ(font.size(), static_cast<size_t>(kRows) * kPerRow * kGlyphBytes);
  iconv_t cd = iconv_open("UTF-32LE", "GB2312");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int hanzi = 0, missing = 0, stray = 0, wide = 0;
  for (int hi = 0xA1; hi <= 0xF7; ++hi)
    for (int lo = 0xA1; lo <= 0xFE; ++lo) {
      const Cell g = glyph_at(font, hi, lo);
      for (const auto& row : g)
        for (int x = 20; x < 24; ++x) wide += row[x];
      const char32_t cp = unicode_of(cd, hi, lo);
      // Row 3 draws ASCII: all 94 of its codes are printable characters.
      const bool defined = hi == 0xA3 || (cp != 0 && cp != 0x3000);
      if (cp >= 0x4E00 && cp <= 0x9FFF) ++hanzi;
      if (defined && blank(g)) ++missing;
      if (!defined && cp != 0x3000 && !blank(g)) ++stray;
    }
  iconv_close(cd);
  EXPECT_EQ(hanzi, 6763);
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(stray, 0);
  EXPECT_EQ(wide, 0) << "glyph bits in columns 20-23";
}

TEST(BitmapFont, BoxDrawingLinesRunToTheCellEdgesSoTheyJoin) {
  const auto font = read_font();
  ASSERT_EQ(font.size(), static_cast<size_t>(kRows) * kPerRow * kGlyphBytes);
  const Cell horizontal = glyph_at(font, 0xA9, 0xA4);  // U+2500
  const Cell vertical = glyph_at(font, 0xA9, 0xA6);    // U+2502
  const Cell cross = glyph_at(font, 0xA9, 0xEF);       // U+254B, heavy
  int h_row = -1, v_col = -1;
  for (int i = 0; i < 20; ++i) {
    if (horizontal[i][0]) h_row = i;
    if (vertical[0][i]) v_col = i;
  }
  ASSERT_GE(h_row, 0);
  ASSERT_GE(v_col, 0);
  EXPECT_TRUE(horizontal[h_row][19]);
  EXPECT_TRUE(vertical[19][v_col]);
  EXPECT_TRUE(cross[0][v_col] && cross[19][v_col] && cross[h_row][0] && cross[h_row][19]);
}

TEST(BitmapFont, AsciiGlyphsSitWhereTheClientPensPutThem) {
  // The client draws single-byte ch with glyph ch + 155 after its nudge;
  // capitals one row lower. A capital and a small letter must then share a
  // baseline: the lowest ink row of 'H' (drawn +1) equals that of 'x'.
  const auto font = read_font();
  ASSERT_EQ(font.size(), static_cast<size_t>(kRows) * kPerRow * kGlyphBytes);
  const auto lowest = [&](char ch) {
    const Cell c = glyph_at(font, 0xA3, 0xA1 + (ch - 0x21));
    int y = -1;
    for (int r = 0; r < 20; ++r)
      for (bool b : c[r])
        if (b) y = r;
    return y;
  };
  EXPECT_EQ(lowest('H') + 1, lowest('x'));
  EXPECT_EQ(lowest('E') + 1, lowest('n'));
  EXPECT_GT(lowest('g'), lowest('x'));  // descenders hang below
  EXPECT_LT(lowest('g'), 20);
}

}  // namespace
