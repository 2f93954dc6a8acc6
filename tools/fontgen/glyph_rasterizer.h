// Renders glyph cells of the 20-pixel bitmap font with FreeType from one face
// of an outline font file. Ideographs and symbols are hinted for 1-bit output
// and centred on a 20-pixel advance with the baseline on row 17; ASCII
// characters are shaped for the client's single-byte metrics
// (client/gfx/BitmapFontMetrics.h).
// Not thread-safe; one instance per thread.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#include "glyph_cell.h"

namespace tavrin::tools {

inline constexpr int kHanziPixelSize = 20;
inline constexpr int kHanziBaseline = 17;
inline constexpr int kAsciiPixelSize = 18;
inline constexpr int kAsciiBaseline = 15;
inline constexpr int kAsciiMinPixelSize = 8;  // narrowest width tried

class GlyphRasterizer {
 public:
  // Opens the face of `font_path` whose family name is `family`; throws
  // std::runtime_error when the file or the family is missing.
  GlyphRasterizer(const std::string& font_path, const std::string& family);
  ~GlyphRasterizer();
  GlyphRasterizer(const GlyphRasterizer&) = delete;
  GlyphRasterizer& operator=(const GlyphRasterizer&) = delete;

  // A full-width cell; blank when the face lacks the character.
  [[nodiscard]] GlyphCell full_width(char32_t cp);
  // The cell drawn for single-byte `ch` (0x21..0x7E).
  [[nodiscard]] GlyphCell ascii(char ch);

 private:
  bool load_mono(char32_t cp, int width_px, int height_px);
  void blit(GlyphCell& cell, int x0, int y0) const;

  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

}  // namespace tavrin::tools
