// Platform-font text on a canvas, laid out the way the screens' text calls
// expect: alignment and single-line flags, line breaks, word wrapping,
// clipping to the rectangle. Glyph coverage is blended in the alpha modes.
// UI thread only.
#pragma once

#include <string_view>

#include "gfx/PixelCanvas.h"
#include "gfx/PlatformFont.h"
#include "gfx/Rect.h"
#include "gfx/Rgb565.h"

namespace tavrin::gfx {

// Layout flags, with the values the screens pass.
enum TextFlags : unsigned {
  kTextLeft = 0x0,
  kTextCenter = 0x1,
  kTextRight = 0x2,
  kTextVCenter = 0x4,
  kTextBottom = 0x8,
  kTextWordBreak = 0x10,
  kTextSingleLine = 0x20,
  kTextNoClip = 0x100,
  kTextCalcRect = 0x400,
};

// Centred one-line captions.
inline constexpr unsigned kTextCaption = kTextCenter | kTextVCenter | kTextSingleLine;

// Draws `text` into `rect`; returns the height of the laid-out text (with
// kTextCalcRect nothing is drawn and rect's bottom, and for one line its
// right, are set to fit). A null font draws nothing and returns 0.
int draw_text(PixelCanvas& canvas, const PlatformFont* font, std::u16string_view text,
              Colour colour, Rect& rect, unsigned flags);
int draw_text(PixelCanvas& canvas, const PlatformFont* font, std::u16string_view text,
              Colour colour, const Rect& rect, unsigned flags);

// Width in pixels of one line of text.
int text_width(const PlatformFont& font, std::u16string_view text);

}  // namespace tavrin::gfx
