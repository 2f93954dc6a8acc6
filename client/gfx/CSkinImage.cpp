#include "gfx/CSkinImage.h"

#include <algorithm>
#include <utility>

#include "gfx/ImageBlend.h"

namespace tavrin::gfx {

bool CSkinImage::load(const std::string& path) {
  free();
  auto decoded = platform::decode_png_file(path);
  return decoded && load(std::move(*decoded));
}

bool CSkinImage::load(platform::ArgbImage image) {
  free();
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != size_t(image.width) * size_t(image.height))
    return false;
  image_ = std::move(image);
  return true;
}

void CSkinImage::free() {
  image_ = {};
}

void CSkinImage::draw(PixelCanvas& canvas, int x, int y, const Rect* src, int opacity,
                      bool invert) const {
  if (!loaded() || !canvas.valid()) return;
  Rect s = src ? *src : Rect{0, 0, image_.width, image_.height};
  if (s.empty() || s.left < 0 || s.top < 0 || s.right > image_.width || s.bottom > image_.height)
    return;
  if (x <= -s.width() || y <= -s.height()) return;  // wholly left or above (and no overflow)
  if (x < 0) s.left -= x, x = 0;
  if (y < 0) s.top -= y, y = 0;
  if (s.empty() || x >= canvas.width || y >= canvas.height) return;
  const int w = std::min(s.width(), canvas.width - x);
  const int h = std::min(s.height(), canvas.height - y);
  const bool fast = opacity >= 100 && !invert;
  for (int row = 0; row < h; ++row) {
    uint16_t* d = canvas.row(y + row) + x;
    const uint32_t* p = image_.pixels.data() + size_t(s.top + row) * image_.width + s.left;
    if (fast)
      blend_image_row(d, p, w);
    else
      blend_image_row_opacity(d, p, w, opacity, invert);
  }
}

}  // namespace tavrin::gfx
