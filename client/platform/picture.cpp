// PNG goes through image.cpp's decoder, GIF through gif.cpp's; JPEG and
// BMP through SDL_image, whose surface is converted to ARGB and
// premultiplied here.
#include "platform/picture.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/gif.h"

namespace tavrin::platform {
namespace {

enum class Kind { kNone, kPng, kJpeg, kBmp, kGif };

Kind kind_of(const uint8_t* d, size_t n) {
  if (n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) return Kind::kPng;
  if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return Kind::kJpeg;
  if (n >= 26 && d[0] == 'B' && d[1] == 'M') return Kind::kBmp;
  if (n >= 13 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0))
    return Kind::kGif;
  return Kind::kNone;
}

long le16(const uint8_t* p) {
  return long(p[0]) | long(p[1]) << 8;
}
long be16(const uint8_t* p) {
  return long(p[0]) << 8 | long(p[1]);
}
long le32(const uint8_t* p) {
  return long(
      int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24));
}

// The size in a JPEG's first start-of-frame segment.
std::optional<std::pair<long, long>> jpeg_size(const uint8_t* d, size_t n) {
  size_t i = 2;
  while (i + 4 <= n) {
    if (d[i] != 0xFF) return std::nullopt;
    const uint8_t marker = d[i + 1];
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      i += 2;  // segments without a length
      continue;
    }
    const size_t length = size_t(be16(d + i + 2));
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (i + 9 > n || length < 7) return std::nullopt;
      return std::pair{be16(d + i + 7), be16(d + i + 5)};
    }
    if (length < 2) return std::nullopt;
    i += 2 + length;
  }
  return std::nullopt;
}

// The number of scans in a JPEG, counted up to `limit` + 1: each scan of a
// progressive JPEG is a pass of the decoder over the whole picture, so a
// small file of thousands of scans would hold it for many seconds.
int jpeg_scans(const uint8_t* d, size_t n, int limit) {
  int scans = 0;
  size_t i = 2;
  while (i + 4 <= n && scans <= limit) {
    if (d[i] != 0xFF) return scans;
    const uint8_t marker = d[i + 1];
    if (marker == 0xFF) {
      ++i;
      continue;
    }
    if (marker == 0xD9) return scans;  // the end of the picture
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      i += 2;
      continue;
    }
    const size_t length = size_t(be16(d + i + 2));
    if (length < 2) return scans;
    i += 2 + length;
    if (marker != 0xDA) continue;
    ++scans;
    // The scan's coded data runs to the next marker that is neither a
    // stuffed 0xFF nor a restart.
    while (i + 1 < n && !(d[i] == 0xFF && d[i + 1] != 0x00 &&
                          !(d[i + 1] >= 0xD0 && d[i + 1] <= 0xD7)))
      ++i;
  }
  return scans;
}

// The size of a GIF's first image, which is what is decoded (its frame may
// be larger than the screen it claims).
std::optional<std::pair<long, long>> gif_size(const uint8_t* d, size_t n) {
  size_t i = 13;
  if (d[10] & 0x80) i += 3 * (size_t(2) << (d[10] & 7));  // the global colour table
  while (i < n) {
    if (d[i] == 0x2C) {
      if (i + 9 > n) return std::nullopt;
      return std::pair{le16(d + i + 5), le16(d + i + 7)};
    }
    if (d[i] != 0x21 || i + 2 > n) return std::nullopt;
    i += 2;  // an extension: its label, then sub-blocks up to an empty one
    while (i < n && d[i] != 0) i += 1 + size_t(d[i]);
    ++i;
  }
  return std::nullopt;
}

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceFree>;

// The decoded surface as premultiplied ARGB, written straight into the
// image: no second surface of the picture's size on the way.
std::optional<ArgbImage> from_surface(SDL_Surface* s) {
  if (SDL_LockSurface(s) != 0) return std::nullopt;
  ArgbImage out;
  out.width = s->w;
  out.height = s->h;
  out.pixels.resize(size_t(out.width) * size_t(out.height));
  bool ok = true;
  const SDL_Palette* palette = s->format->palette;
  if (palette && s->format->BitsPerPixel == 8) {
    // A GIF, or a BMP of 256 colours: the colour key is the transparent one.
    Uint32 key = 0;
    const bool keyed = SDL_GetColorKey(s, &key) == 0;
    for (int y = 0; y < out.height; ++y) {
      const auto* row = static_cast<const uint8_t*>(s->pixels) + size_t(y) * size_t(s->pitch);
      uint32_t* dst = out.pixels.data() + size_t(y) * size_t(out.width);
      for (int x = 0; x < out.width; ++x) {
        const uint8_t i = row[x];
        if ((keyed && i == key) || i >= palette->ncolors) {
          dst[x] = 0;
          continue;
        }
        const SDL_Color c = palette->colors[i];
        dst[x] = premultiply_argb(c.r, c.g, c.b, c.a);
      }
    }
  } else {
    ok = !palette &&
         SDL_ConvertPixels(out.width, out.height, s->format->format, s->pixels, s->pitch,
                           SDL_PIXELFORMAT_ARGB8888, out.pixels.data(), out.width * 4) == 0;
    for (uint32_t& p : out.pixels)
      p = premultiply_argb(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24));
  }
  SDL_UnlockSurface(s);
  if (!ok) return std::nullopt;
  return out;
}

// Scaled down to fit, each pixel the average of the source pixels it covers
// (premultiplied, so transparent ones add no colour).
ArgbImage shrunk(const ArgbImage& in, FitSize fit) {
  const double scale = std::min(double(fit.width) / in.width, double(fit.height) / in.height);
  ArgbImage out;
  out.width = std::max(1, int(in.width * scale));
  out.height = std::max(1, int(in.height * scale));
  out.pixels.resize(size_t(out.width) * size_t(out.height));
  for (int y = 0; y < out.height; ++y) {
    const int y0 = int(long(y) * in.height / out.height);
    const int y1 = std::max(y0 + 1, int(long(y + 1) * in.height / out.height));
    for (int x = 0; x < out.width; ++x) {
      const int x0 = int(long(x) * in.width / out.width);
      const int x1 = std::max(x0 + 1, int(long(x + 1) * in.width / out.width));
      uint64_t sum[4] = {};
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
          const uint32_t p = in.pixels[size_t(sy) * size_t(in.width) + size_t(sx)];
          for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
        }
      const uint64_t n = uint64_t(y1 - y0) * uint64_t(x1 - x0);
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) p |= uint32_t((sum[c] + n / 2) / n) << (8 * c);
      out.pixels[size_t(y) * size_t(out.width) + size_t(x)] = p;
    }
  }
  return out;
}

}  // namespace

std::optional<std::pair<long, long>> picture_size(const uint8_t* d, size_t n) {
  switch (d ? kind_of(d, n) : Kind::kNone) {
    case Kind::kPng:
      if (n < 24) return std::nullopt;
      return std::pair{long(be16(d + 16)) << 16 | be16(d + 18),
                       long(be16(d + 20)) << 16 | be16(d + 22)};
    case Kind::kJpeg:
      return jpeg_size(d, n);
    case Kind::kBmp:  // an old core header has 16-bit sizes; a height below 0 is top-down
      if (le32(d + 14) == 12) return std::pair{le16(d + 18), le16(d + 20)};
      return std::pair{std::abs(le32(d + 18)), std::abs(le32(d + 22))};
    case Kind::kGif:
      return gif_size(d, n);
    case Kind::kNone:
      break;
  }
  return std::nullopt;
}

std::optional<ArgbImage> decode_picture_memory(const uint8_t* data, size_t size, FitSize fit) {
  if (data == nullptr || size > kMaxPictureBytes) return std::nullopt;
  const auto dims = picture_size(data, size);
  if (!dims || dims->first <= 0 || dims->second <= 0 || dims->first > 65535 ||
      dims->second > 65535 || dims->first * dims->second > kMaxPicturePixels)
    return std::nullopt;
  std::optional<ArgbImage> image;
  const Kind kind = kind_of(data, size);
  if (kind == Kind::kJpeg && jpeg_scans(data, size, kMaxJpegScans) > kMaxJpegScans)
    return std::nullopt;
  if (kind == Kind::kPng) {
    image = decode_png_memory(data, size);
  } else if (kind == Kind::kGif) {
    image = decode_gif(data, size);
  } else {
    const char* type = kind == Kind::kJpeg ? "JPG" : "BMP";
    Surface decoded(IMG_LoadTyped_RW(SDL_RWFromConstMem(data, int(size)), 1, type));
    if (decoded && long(decoded->w) * decoded->h <= kMaxPicturePixels)
      image = from_surface(decoded.get());
  }
  if (image && fit.width > 0 && fit.height > 0 &&
      (image->width > fit.width || image->height > fit.height))
    image = shrunk(*image, fit);
  return image;
}

bool picture_too_large(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<uint8_t> head(64 * 1024);
  in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
  head.resize(size_t(in.gcount()));
  in.clear();
  in.seekg(0, std::ios::end);
  if (in && size_t(in.tellg()) > kMaxPictureBytes) return true;
  const auto dims = picture_size(head.data(), head.size());
  return dims && (dims->first > 65535 || dims->second > 65535 ||
                  dims->first * dims->second > kMaxPicturePixels);
}

std::optional<ArgbImage> decode_picture_file(const std::string& path, FitSize fit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes;
  char chunk[64 * 1024];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (bytes.size() > kMaxPictureBytes) return std::nullopt;
  }
  return decode_picture_memory(bytes.data(), bytes.size(), fit);
}

}  // namespace tavrin::platform
