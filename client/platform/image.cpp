// PNG decoding and encoding through libpng's simplified API, which handles
// every colour type, bit depth, palette and tRNS for us. Decoding keeps the
// picture limits (picture.h), told from the file's size and its header.
#include "image.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/picture.h"

namespace tavrin::platform {
namespace {

std::optional<ArgbImage> finish_decode(png_image& image) {
  image.format = PNG_FORMAT_RGBA;
  // The header alone decides: nothing is decoded past the limit.
  if (image.width == 0 || image.height == 0 ||
      uint64_t(image.width) * image.height > uint64_t(kMaxPicturePixels)) {
    png_image_free(&image);
    return std::nullopt;
  }
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  ArgbImage out;
  out.width = int(image.width);
  out.height = int(image.height);
  out.pixels.resize(size_t(out.width) * size_t(out.height));
  const uint8_t* p = rgba.data();
  for (auto& px : out.pixels) {
    px = premultiply_argb(p[0], p[1], p[2], p[3]);
    p += 4;
  }
  png_image_free(&image);
  return out;
}

bool write_png(const std::string& path, png_uint_32 width, png_uint_32 height, png_uint_32 format,
               const uint8_t* bytes) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = format;
  const int ok = png_image_write_to_file(&image, path.c_str(), 0, bytes, 0, nullptr);
  png_image_free(&image);
  return ok != 0;
}

}  // namespace

uint32_t premultiply_argb(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  // Rounded division by 255 so that opaque stays exact and 0 alpha gives 0.
  auto mul = [a](uint8_t c) -> uint32_t {
    uint32_t t = uint32_t(c) * a + 128;
    return (t + (t >> 8)) >> 8;
  };
  return (uint32_t(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

std::optional<ArgbImage> decode_png_file(const std::string& path) {
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(path, ec);
  if (ec || bytes > kMaxPictureBytes) return std::nullopt;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    png_image_free(&image);
    return std::nullopt;
  }
  return finish_decode(image);
}

std::optional<ArgbImage> decode_png_memory(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0 || size > kMaxPictureBytes) return std::nullopt;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return finish_decode(image);
}

bool save_png_rgb565(const std::string& path, const uint16_t* pixels, int width, int height,
                     int stride) {
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) return false;
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  uint8_t* out = rgb.data();
  for (int y = 0; y < height; ++y) {
    const uint16_t* row = pixels + size_t(y) * size_t(stride);
    for (int x = 0; x < width; ++x) {
      const uint16_t v = row[x];
      // Replicate the high bits so that full intensity maps to 255.
      const uint8_t r5 = v >> 11, g6 = (v >> 5) & 0x3f, b5 = v & 0x1f;
      *out++ = uint8_t((r5 << 3) | (r5 >> 2));
      *out++ = uint8_t((g6 << 2) | (g6 >> 4));
      *out++ = uint8_t((b5 << 3) | (b5 >> 2));
    }
  }
  return write_png(path, png_uint_32(width), png_uint_32(height), PNG_FORMAT_RGB, rgb.data());
}

bool save_png_argb(const std::string& path, const ArgbImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() < size_t(image.width) * size_t(image.height))
    return false;
  std::vector<uint8_t> rgba(size_t(image.width) * size_t(image.height) * 4);
  uint8_t* out = rgba.data();
  for (size_t i = 0; i < size_t(image.width) * size_t(image.height); ++i) {
    const uint32_t px = image.pixels[i];
    const uint32_t a = px >> 24;
    auto un = [a](uint32_t c) -> uint8_t {
      if (a == 0) return 0;
      const uint32_t v = (c * 255 + a / 2) / a;
      return uint8_t(v > 255 ? 255 : v);
    };
    *out++ = un((px >> 16) & 0xff);
    *out++ = un((px >> 8) & 0xff);
    *out++ = un(px & 0xff);
    *out++ = uint8_t(a);
  }
  return write_png(path, png_uint_32(image.width), png_uint_32(image.height), PNG_FORMAT_RGBA,
                   rgba.data());
}

}  // namespace tavrin::platform
