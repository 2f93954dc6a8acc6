// PNG files in and out. Decoded images are premultiplied ARGB32 (0xAARRGGBB
// in a uint32_t, colour channels already multiplied by alpha), row-major,
// width * height pixels with no padding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/pixel_buffer.h"

namespace tavrin::platform {

struct ArgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // premultiplied ARGB32
};

// One premultiplied ARGB32 pixel from straight colour and alpha.
[[nodiscard]] uint32_t premultiply_argb(uint8_t r, uint8_t g, uint8_t b, uint8_t a);

// Decodes a PNG file of any colour type; nullopt when the file is missing or
// not a readable PNG.
[[nodiscard]] std::optional<ArgbImage> decode_png_file(const std::string& path);
[[nodiscard]] std::optional<ArgbImage> decode_png_memory(const uint8_t* data, size_t size);

// Writes an RGB565 frame (stride in pixels) as an 8-bit RGB PNG; false on failure.
[[nodiscard]] bool save_png_rgb565(const std::string& path, const uint16_t* pixels, int width,
                                   int height, int stride);
// Writes a premultiplied ARGB32 image as an RGBA PNG (un-premultiplied).
[[nodiscard]] bool save_png_argb(const std::string& path, const ArgbImage& image);

}  // namespace tavrin::platform
