// Platform fonts as the drawing engine sees them: a source of anti-aliased
// glyph coverage that the platform provides (the engine itself does layout
// and blending, so platform text lands in the same RGB565 pixels and alpha
// rules as everything else).
//
// The platform installs one FontProvider at start-up (set_font_provider);
// make_font() hands out fonts that the caller owns and deletes after drawing.
// UI thread only; a PlatformFont may cache its glyphs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::gfx {

// One rendered character. Coverage is 0..255 per pixel, row-major.
struct GlyphBitmap {
  int width = 0;
  int height = 0;
  int left = 0;     // from the pen to the bitmap's left column
  int top = 0;      // from the baseline up to the bitmap's top row
  int advance = 0;  // pen movement in pixels
  std::vector<uint8_t> coverage;
};

struct FontMetrics {
  int ascent = 0;       // baseline below the line's top
  int descent = 0;      // below the baseline
  int line_height = 0;  // distance between lines
};

class PlatformFont {
 public:
  virtual ~PlatformFont() = default;
  virtual FontMetrics metrics() const = 0;
  // The glyph of one code point, or null when the face has none; the pointer
  // stays valid for the font's life.
  virtual const GlyphBitmap* glyph(char32_t ch) const = 0;
};

// The logical font the screens ask for (the fields the platform's font
// matcher needs; the defaults are those of every font the client makes).
struct FontSpec {
  std::u16string face;
  int height = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
  uint8_t charset = 0;
  uint8_t out_precision = 1;
  uint8_t pitch_and_family = 0x22;
};

class FontProvider {
 public:
  virtual ~FontProvider() = default;
  // A new font for the spec, or null when no face can serve it.
  virtual std::unique_ptr<PlatformFont> create(const FontSpec& spec) = 0;
};

// Installs the platform's provider (not owned; null removes it).
void set_font_provider(FontProvider* provider);
FontProvider* font_provider();

// The standard face at `height`; null when no provider is installed.
[[nodiscard]] std::unique_ptr<PlatformFont> make_font(int height);
[[nodiscard]] std::unique_ptr<PlatformFont> make_font(std::u16string_view face, int height);

inline constexpr char16_t kStandardFace[] = u"黑体";
inline constexpr char16_t kEditFace[] = u"宋体";

}  // namespace tavrin::gfx
