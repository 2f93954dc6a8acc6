// Platform-style drawing on a surface once its pixels are unlocked: text in
// a selected font and colour on a transparent background, and PNG files
// drawn scaled into a rectangle. A DeviceContext owns neither the pixels
// nor the font; it lives between a surface's get_dc() and release_dc().
// UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "gfx/Rgb565.h"
#include "gfx/ScaledImage.h"
#include "platform/font.h"

namespace tavrin::gfx {

// Layout flags of draw_text, with the values the screens pass.
inline constexpr unsigned kTextLeft = platform::text::kLeft;
inline constexpr unsigned kTextCenter = platform::text::kCenter;
inline constexpr unsigned kTextRight = platform::text::kRight;
inline constexpr unsigned kTextVCenter = platform::text::kVCenter;
inline constexpr unsigned kTextBottom = platform::text::kBottom;
inline constexpr unsigned kTextWordBreak = platform::text::kWordBreak;
inline constexpr unsigned kTextSingleLine = platform::text::kSingleLine;
inline constexpr unsigned kTextNoClip = platform::text::kNoClip;
// Centred one-line captions (0x25).
inline constexpr unsigned kTextCaption = kTextCenter | kTextVCenter | kTextSingleLine;

class DeviceContext {
 public:
  explicit DeviceContext(PixelCanvas canvas) : canvas_(canvas) {}

  // Both return the previous value, as the platform calls do.
  const platform::Font* select_font(const platform::Font* font) {
    const platform::Font* old = font_;
    font_ = font;
    return old;
  }
  Colour set_text_colour(Colour colour) {
    const Colour old = colour_;
    colour_ = colour;
    return old;
  }

  // Draws text with the selected font and colour; the height drawn, 0
  // without a font or pixels.
  int draw_text(std::u16string_view text, const Rect& rect, unsigned flags) {
    if (!font_ || !canvas_.valid()) return 0;
    platform::PixelBuffer565 target = canvas_.buffer();
    return font_->draw(target, text, {rect.left, rect.top, rect.right, rect.bottom}, colour_,
                       flags);
  }
  bool draw_png(const std::string& path, const Rect& dest, ImageInfo* info = nullptr) {
    return draw_png_file(canvas_, path, dest, info);
  }

  PixelCanvas& canvas() { return canvas_; }

 private:
  PixelCanvas canvas_;
  const platform::Font* font_ = nullptr;
  Colour colour_ = 0;
};

}  // namespace tavrin::gfx
