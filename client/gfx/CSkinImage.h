// A skin image: a PNG decoded once into premultiplied ARGB32 pixels, drawn
// onto RGB565 canvases at every repaint (per-pixel alpha, optional overall
// opacity and colour inversion).
//
// The image owns its pixels; it is loaded when its window is initialised and
// freed with it. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "platform/image.h"

namespace tavrin::gfx {

class CSkinImage {
 public:
  CSkinImage() = default;

  // Decodes the PNG file; false (and an empty image that draws nothing)
  // when it cannot be opened or decoded.
  [[nodiscard]] bool load(const std::string& path);
  // Takes pixels decoded elsewhere; false for an empty or inconsistent image.
  [[nodiscard]] bool load(platform::ArgbImage image);
  void free();

  // Draws `src` of the image (the whole image when null) with its top-left
  // corner at (x, y). A source rectangle not inside the image draws nothing;
  // a negative x or y moves the source start instead; the copied area is
  // clipped to the canvas. Opacity is a percentage (100 and above: none).
  void draw(PixelCanvas& canvas, int x, int y, const Rect* src = nullptr, int opacity = 100,
            bool invert = false) const;

  bool loaded() const { return !image_.pixels.empty(); }
  int width() const { return image_.width; }
  int height() const { return image_.height; }
  const uint32_t* pixels() const { return image_.pixels.data(); }

 private:
  platform::ArgbImage image_;
};

}  // namespace tavrin::gfx
