// Platform fonts: outline faces drawn anti-aliased onto RGB565 pixels, with
// the measuring calls the edit controls need. "黑体" is a sans-serif CJK
// face and "宋体" a serif (Song) one, taken from the Debian font packages;
// any other name falls back to "黑体".
//
// A Font is cheap to copy (it shares one face and glyph cache per face and
// height). Fonts are made and drawn on the UI thread; the shared FreeType
// state is locked, so tests may use them from any one thread at a time.
// height is the cell height in pixels: one line of text is height pixels.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/geometry.h"
#include "platform/pixel_buffer.h"

namespace tavrin::platform {

// Layout flags of Font::draw, numbered as the screens write them.
namespace text {
inline constexpr unsigned kLeft = 0x0;
inline constexpr unsigned kCenter = 0x1;
inline constexpr unsigned kRight = 0x2;
inline constexpr unsigned kVCenter = 0x4;
inline constexpr unsigned kBottom = 0x8;
inline constexpr unsigned kWordBreak = 0x10;
inline constexpr unsigned kSingleLine = 0x20;
inline constexpr unsigned kNoClip = 0x100;
// A single line too wide for its rectangle ends in "…" after the last
// whole character that fits.
inline constexpr unsigned kEndEllipsis = 0x8000;
}  // namespace text

class Font {
 public:
  // Opens the face standing for the name at the height; nullopt when no
  // usable font file is installed.
  static std::optional<Font> make(std::u16string_view face_name, int height);

  int height() const;
  int ascent() const;
  // Average width of a character, as the edit controls count capacity.
  int average_char_width() const;
  int text_width(std::u16string_view text) const;
  // extents[i] is the width of text[0..i] (inclusive), for hit-testing.
  std::vector<int> extents(std::u16string_view text) const;

  // The height the text takes when drawn width pixels wide with the flags.
  int text_height(std::u16string_view text, int width, unsigned flags) const;
  // The text itself when it fits on one line of width pixels, else its
  // start with "…" as kEndEllipsis draws it (never half of a character;
  // nothing where not even "…" fits). The one way text is shortened.
  std::u16string fitted(std::u16string_view text, int width) const;

  // Draws text into rect in colour (0x00BBGGRR) with the flags; '\n' (and
  // "\r\n") break lines unless kSingleLine; kWordBreak wraps long lines,
  // after a space when the line has one, never inside a number or a Latin
  // word that has room on a line of its own, and never before a closing
  // mark ("，", "。", ")" ...), which takes the character before it along.
  // Pixels outside the buffer, and outside rect unless kNoClip, stay.
  // Returns the height of the text drawn.
  int draw(PixelBuffer565& target, std::u16string_view text, Rect rect, uint32_t colour,
           unsigned flags) const;

  // One rendered character, for drawing code that lays text out itself.
  // left: from the pen to the first column; top: from the baseline up to
  // the first row; coverage 0-255, width x rows, row-major.
  // A colour glyph (an emoji from the colour fallback face) also has its
  // pixels, premultiplied 0xAARRGGBB, drawn instead of the text colour.
  struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0, advance = 0;
    std::vector<uint8_t> coverage;
    std::vector<uint32_t> colour;
  };
  // Null when the face has no such character. The glyph lives as long as
  // any Font of this face and height.
  const Glyph* glyph(char32_t ch) const;

  struct Impl;

 private:
  explicit Font(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
  std::shared_ptr<Impl> impl_;
};

}  // namespace tavrin::platform
