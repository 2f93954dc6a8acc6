#include "test_support.h"

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

namespace {

uint16_t argb_to_565(uint32_t p) {
  return uint16_t(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
}

}  // namespace

std::string compare_golden(const std::string& name, const PixelCanvas& canvas) {
  namespace fs = std::filesystem;
  const fs::path reference = fs::path(TAVRIN_GFX_GOLDEN_DIR) / (name + ".png");
  const char* update = std::getenv("TAVRIN_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    if (!tavrin::platform::save_png_rgb565(reference.string(), canvas.pixels, canvas.width,
                                           canvas.height, canvas.width))
      return "cannot write reference " + reference.string();
    return {};
  }
  const auto expected = tavrin::platform::decode_png_file(reference.string());
  if (!expected)
    return "no reference image " + reference.string() +
           " (run with TAVRIN_UPDATE_GOLDEN=1 to create it)";
  int differences = 0, first_x = -1, first_y = -1;
  const bool same_size = expected->width == canvas.width && expected->height == canvas.height;
  if (same_size) {
    for (int y = 0; y < canvas.height; ++y)
      for (int x = 0; x < canvas.width; ++x)
        if (argb_to_565(expected->pixels[size_t(y) * canvas.width + x]) != canvas.at(x, y)) {
          if (!differences++) first_x = x, first_y = y;
        }
    if (!differences) return {};
  }
  // Expected | actual | differences, side by side, for whoever reviews it.
  const int w = canvas.width, h = canvas.height;
  std::vector<uint16_t> sheet(size_t(w) * 3 * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint16_t actual = canvas.at(x, y);
      const bool in_ref = x < expected->width && y < expected->height;
      const uint16_t want =
          in_ref ? argb_to_565(expected->pixels[size_t(y) * expected->width + x]) : 0;
      sheet[size_t(y) * w * 3 + x] = want;
      sheet[size_t(y) * w * 3 + w + x] = actual;
      sheet[size_t(y) * w * 3 + 2 * w + x] = (in_ref && want == actual) ? 0 : 0xF81F;
    }
  fs::create_directories(TAVRIN_GFX_OUT_DIR);
  const fs::path err = fs::path(TAVRIN_GFX_OUT_DIR) / (name + "_err.png");
  (void)tavrin::platform::save_png_rgb565(err.string(), sheet.data(), w * 3, h, w * 3);
  std::ostringstream msg;
  if (!same_size)
    msg << name << ": size " << canvas.width << "x" << canvas.height << ", reference "
        << expected->width << "x" << expected->height;
  else
    msg << name << ": " << differences << " pixels differ, first at (" << first_x << ", " << first_y
        << ")";
  msg << "; see " << err.string();
  return msg.str();
}

}  // namespace gfx_test
