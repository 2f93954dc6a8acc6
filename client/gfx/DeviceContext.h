// Platform-style drawing on a surface after its pixels are unlocked: text in
// a selected font and colour (transparent background), and PNG files drawn
// scaled into a rectangle. A DeviceContext does not own the pixels or the
// font; it lives between a surface's get_dc() and release_dc(). UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "gfx/PixelCanvas.h"
#include "gfx/PlatformFont.h"
#include "gfx/Rect.h"
#include "gfx/Rgb565.h"
#include "gfx/ScaledImage.h"
#include "gfx/TextPainter.h"

namespace tavrin::gfx {

class DeviceContext {
 public:
  explicit DeviceContext(PixelCanvas canvas) : canvas_(canvas) {}

  // Returns the previous font / colour, as the platform calls do.
  const PlatformFont* select_font(const PlatformFont* font) {
    const PlatformFont* old = font_;
    font_ = font;
    return old;
  }
  Colour set_text_colour(Colour colour) {
    const Colour old = colour_;
    colour_ = colour;
    return old;
  }

  int draw_text(std::u16string_view text, Rect& rect, unsigned flags) {
    return gfx::draw_text(canvas_, font_, text, colour_, rect, flags);
  }
  int draw_text(std::u16string_view text, const Rect& rect, unsigned flags) {
    return gfx::draw_text(canvas_, font_, text, colour_, rect, flags);
  }
  bool draw_png(const std::string& path, const Rect& dest, ImageInfo* info = nullptr) {
    return draw_png_file(canvas_, path, dest, info);
  }

  PixelCanvas& canvas() { return canvas_; }

 private:
  PixelCanvas canvas_;
  const PlatformFont* font_ = nullptr;
  Colour colour_ = 0;
};

}  // namespace tavrin::gfx
