#include "test_pictures.h"

#include <SDL.h>
#include <SDL_image.h>
#include <png.h>

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

bool write_png_bomb(const std::string& path, int side) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, png_uint_32(side), png_uint_32(side), 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_write_info(png, info);
    std::vector<png_byte> row(size_t(side + 7) / 8, 0);
    for (int y = 0; y < side; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 && ok;
}

std::string jpeg_of_scans(int width, int height, int scans) {
  std::string out = "\xFF\xD8";
  auto segment = [&](uint8_t marker, const std::string& body) {
    out += char(0xFF);
    out += char(marker);
    const size_t length = body.size() + 2;
    out += char(length >> 8);
    out += char(length & 0xFF);
    out += body;
  };
  segment(0xDB, std::string(1, '\0') + std::string(64, '\1'));  // one quantisation table
  std::string frame = "\x08";                                   // 8-bit samples
  frame += {char(height >> 8), char(height & 0xFF), char(width >> 8), char(width & 0xFF)};
  frame += std::string("\x01\x01\x11\x00", 4);  // one component, 1x1, table 0
  segment(0xC2, frame);                            // progressive
  // A DC table of one code: "0" for a difference of 0.
  std::string dc(1, '\0');
  dc += '\1';
  dc += std::string(15, '\0');
  dc += '\0';
  segment(0xC4, dc);
  for (int i = 0; i < scans; ++i) {
    segment(0xDA, std::string("\x01\x01\x00\x00\x00\x00", 6));  // the DC scan
    out += std::string(2, '\0');                                   // its data, cut short
  }
  out += "\xFF\xD9";
  return out;
}

}  // namespace tavrin::test
