// Helpers shared by the drawing tests: canvases with guard zones, a tiny
// synthetic bitmap font written to a temporary file, and pixel-exact
// comparison against reference PNGs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/PixelCanvas.h"
#include "platform/image.h"

namespace gfx_test {

// A canvas whose pixel block has guard words before and after it, so a write
// past either end is seen even without a sanitizer.
class GuardedCanvas {
 public:
  GuardedCanvas(int width, int height, uint16_t fill = 0);
  tavrin::gfx::PixelCanvas& canvas() { return canvas_; }
  bool guards_intact() const;
  uint16_t at(int x, int y) const { return canvas_.at(x, y); }
  std::vector<uint16_t> pixels() const;

 private:
  static constexpr int kGuard = 4096;
  static constexpr uint16_t kGuardValue = 0xA5C3;
  std::vector<uint16_t> storage_;
  tavrin::gfx::PixelCanvas canvas_;
};

// A deterministic background with every channel varying, so blends show.
void paint_background(tavrin::gfx::PixelCanvas& c);

// Font bytes: `count` glyphs, each from `pattern(glyph)` (20 rows of 24 bits,
// most significant bit = left column).
std::vector<uint8_t> make_font(int count, uint32_t (*pattern)(int glyph, int row));

// A folder removed with the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::filesystem::path path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string write_file(const TempDir& dir, const std::string& name,
                       const std::vector<uint8_t>& bytes);

// Compares the canvas with golden/<name>.png pixel for pixel. On a mismatch
// writes <name>_err.png (expected | actual | differences in magenta) to the
// output folder and returns a failure message; with TAVRIN_UPDATE_GOLDEN=1
// it rewrites the reference instead. Empty string: match.
std::string compare_golden(const std::string& name, const tavrin::gfx::PixelCanvas& canvas);

}  // namespace gfx_test
