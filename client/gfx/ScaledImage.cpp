#include "gfx/ScaledImage.h"

#include <algorithm>
#include <vector>

#include "gfx/ImageBlend.h"

namespace tavrin::gfx {

void draw_scaled(PixelCanvas& canvas, const platform::ArgbImage& image, const Rect& dest) {
  if (!canvas.valid() || dest.empty() || image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != size_t(image.width) * size_t(image.height))
    return;
  const Rect clip = dest.intersect(canvas.bounds());
  if (clip.empty()) return;
  const long dw = dest.width(), dh = dest.height();
  // Source column of every destination column, computed once per draw.
  std::vector<uint32_t> row(size_t(clip.width()));
  std::vector<int> columns(size_t(clip.width()));
  for (int x = clip.left; x < clip.right; ++x)
    columns[size_t(x - clip.left)] = int((long(x - dest.left) * image.width) / dw);
  for (int y = clip.top; y < clip.bottom; ++y) {
    const long sy = (long(y - dest.top) * image.height) / dh;
    const uint32_t* src = image.pixels.data() + size_t(sy) * size_t(image.width);
    for (size_t i = 0; i < columns.size(); ++i) row[i] = src[columns[i]];
    blend_image_row(canvas.row(y) + clip.left, row.data(), clip.width());
  }
}

bool draw_png_file(PixelCanvas& canvas, const std::string& path, const Rect& dest,
                   ImageInfo* info) {
  const auto image = platform::decode_png_file(path);
  if (!image) return false;
  draw_scaled(canvas, *image, dest);
  if (info) {
    info->width = image->width;
    info->height = image->height;
    info->has_alpha = std::any_of(image->pixels.begin(), image->pixels.end(),
                                  [](uint32_t p) { return (p >> 24) != 0xFF; });
  }
  return true;
}

}  // namespace tavrin::gfx
