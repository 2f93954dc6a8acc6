// The 20-pixel bitmap font: a headerless file of 60-byte glyphs (20 rows of
// 3 bytes, most significant bit on the left, the left 20 columns used) in
// GB2312 order, loaded once at start-up and held for the life of the process.
//
// Text is GB2312 bytes: a byte with its high bit set starts a two-byte
// character; other bytes are drawn through their full-width forms with the
// hand-tuned nudges and advances of metrics(). UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/BitmapFontMetrics.h"
#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "gfx/Rgb565.h"

namespace tavrin::gfx {

class CBitmapFont {
 public:
  static constexpr int kGlyphBytes = 60;
  static constexpr int kCell = 20;          // glyph height and Chinese advance
  static constexpr int kGlyphLimit = 7445;  // glyph numbers from here on draw nothing
  static constexpr int kMaxTextBytes = 255;

  // Placement of a single-byte character (BitmapFontMetrics.h).
  using Metrics = BitmapFontMetrics;
  static Metrics metrics(unsigned char ch);

  // Reads the whole font file; false when it cannot be read (text then draws nothing).
  [[nodiscard]] bool load(const std::string& path);
  void load_bytes(std::vector<uint8_t> bytes) { data_ = std::move(bytes); }
  void free() {
    data_.clear();
    data_.shrink_to_fit();
  }
  bool loaded() const { return !data_.empty(); }

  // Draws up to 255 bytes of `text` from (rect.left, rect.top), wrapping to
  // the next 20-pixel line when a character would pass rect.right and
  // stopping when a line would pass rect.bottom or the display's 800 rows.
  void draw(PixelCanvas& canvas, const char* text, int length, Colour colour, const Rect& rect,
            int alpha) const;

  // Draws one glyph's set bits at (x, y); a glyph beyond the loaded file draws nothing.
  void draw_glyph(PixelCanvas& canvas, int glyph, int x, int y, uint16_t colour, int alpha) const;

 private:
  std::vector<uint8_t> data_;
};

}  // namespace tavrin::gfx
