#include "test_pictures.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

namespace tavrin::test {
namespace {

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

std::unique_ptr<SDL_Surface, SurfaceFree> halves(int width, int height, uint32_t left,
                                                 uint32_t right) {
  std::unique_ptr<SDL_Surface, SurfaceFree> s(
      SDL_CreateRGBSurfaceWithFormat(0, width, height, 24, SDL_PIXELFORMAT_RGB24));
  if (!s) return s;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint32_t c = x < width / 2 ? left : right;
      uint8_t* p = static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 3;
      p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
    }
  return s;
}

}  // namespace

bool write_jpeg(const std::string& path, int width, int height, uint32_t left, uint32_t right) {
  auto s = halves(width, height, left, right);
  return s && IMG_SaveJPG(s.get(), path.c_str(), 95) == 0;
}

bool write_bmp(const std::string& path, int width, int height, uint32_t left, uint32_t right) {
  auto s = halves(width, height, left, right);
  return s && SDL_SaveBMP(s.get(), path.c_str()) == 0;
}

bool write_gif(const std::string& path, int width, int height, uint32_t left, uint32_t right,
               bool transparent_right) {
  std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  auto u16 = [&](int v) { out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8)); };
  u16(width);
  u16(height);
  out.insert(out.end(), {0x81, 0, 0});  // a global table of 4 colours, 2 bits a pixel
  for (uint32_t c : {left, right, 0u, 0u})
    out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
  if (transparent_right) out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, 1, 0});
  out.push_back(0x2C);
  u16(0), u16(0), u16(width), u16(height);
  out.push_back(0);
  // Image data without compression worth the name: 3-bit codes, a clear
  // code before every two pixels so that the code size never grows.
  out.push_back(2);  // minimum code size
  std::vector<uint8_t> packed;
  uint32_t bits = 0;
  int nbits = 0;
  auto code = [&](uint32_t c) {
    bits |= c << nbits;
    nbits += 3;
    while (nbits >= 8) packed.push_back(uint8_t(bits)), bits >>= 8, nbits -= 8;
  };
  const long pixels = long(width) * height;
  for (long i = 0; i < pixels; ++i) {
    if (i % 2 == 0) code(4);  // clear
    code(i % width < width / 2 ? 0 : 1);
  }
  code(5);  // end
  if (nbits > 0) packed.push_back(uint8_t(bits));
  for (size_t at = 0; at < packed.size(); at += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - at);
    out.push_back(uint8_t(n));
    out.insert(out.end(), packed.begin() + long(at), packed.begin() + long(at + n));
  }
  out.insert(out.end(), {0, 0x3B});
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(out.data()), long(out.size()));
  return bool(f);
}

}  // namespace tavrin::test
