#include "test_support.h"

#include "golden.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace gfx_test {

using tavrin::gfx::PixelCanvas;

GuardedCanvas::GuardedCanvas(int width, int height, uint16_t fill)
    : storage_(size_t(width) * height + 2 * kGuard, kGuardValue) {
  std::fill(storage_.begin() + kGuard, storage_.end() - kGuard, fill);
  canvas_ = {height, width, storage_.data() + kGuard};
}

bool GuardedCanvas::guards_intact() const {
  for (int i = 0; i < kGuard; ++i)
    if (storage_[i] != kGuardValue || storage_[storage_.size() - 1 - i] != kGuardValue)
      return false;
  return true;
}

std::vector<uint16_t> GuardedCanvas::pixels() const {
  return {storage_.begin() + kGuard, storage_.end() - kGuard};
}

void paint_background(PixelCanvas& c) {
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const int r = (x * 31) / std::max(1, c.width - 1);
      const int g = (y * 63) / std::max(1, c.height - 1);
      const int b = ((x + y) / 4) % 32;
      c.row(y)[x] = uint16_t((r << 11) | (g << 5) | b);
    }
}

std::vector<uint8_t> make_font(int count, uint32_t (*pattern)(int glyph, int row)) {
  std::vector<uint8_t> bytes(size_t(count) * 60, 0);
  for (int g = 0; g < count; ++g)
    for (int row = 0; row < 20; ++row) {
      const uint32_t bits = pattern(g, row);
      uint8_t* p = bytes.data() + size_t(g) * 60 + row * 3;
      p[0] = uint8_t(bits >> 16);
      p[1] = uint8_t(bits >> 8);
      p[2] = uint8_t(bits);
    }
  return bytes;
}

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("gfx_test_" + std::to_string(rd()) + "_" + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string write_file(const TempDir& dir, const std::string& name,
                       const std::vector<uint8_t>& bytes) {
  const std::string path = dir.file(name);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

std::string compare_golden(const std::string& name, const PixelCanvas& canvas) {
  return tavrin::test::compare_golden(TAVRIN_GFX_GOLDEN_DIR, TAVRIN_GFX_OUT_DIR, name,
                                      {canvas.pixels, canvas.width, canvas.height, canvas.pitch()});
}

}  // namespace gfx_test
