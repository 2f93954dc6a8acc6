// The simple image draw the screens use for full backgrounds: a PNG file
// decoded on the spot and drawn scaled into a destination rectangle, with
// its per-pixel alpha (no image object is kept). UI thread only.
#pragma once

#include <string>

#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "platform/image.h"

namespace tavrin::gfx {

// What the decoder reports about a file.
struct ImageInfo {
  int width = 0;
  int height = 0;
  bool has_alpha = false;  // some pixel is not fully opaque
};

// Draws `image` scaled (nearest pixel) into `dest`, clipped to the canvas.
void draw_scaled(PixelCanvas& canvas, const platform::ArgbImage& image, const Rect& dest);

// Decodes `path` and draws it into `dest`; false when the file cannot be
// decoded (nothing drawn). `info`, when given, is filled on success.
bool draw_png_file(PixelCanvas& canvas, const std::string& path, const Rect& dest,
                   ImageInfo* info = nullptr);

}  // namespace tavrin::gfx
