#include "golden.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/image.h"

namespace tavrin::test {
namespace {

uint16_t argb_to_565(uint32_t p) {
  return uint16_t(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
}

}  // namespace

std::string compare_golden(const std::string& golden_dir, const std::string& out_dir,
                           const std::string& name, Pixels565 actual) {
  namespace fs = std::filesystem;
  const int w = actual.width, h = actual.height;
  auto at = [&](int x, int y) { return actual.pixels[size_t(y) * size_t(actual.stride) + x]; };
  const fs::path reference = fs::path(golden_dir) / (name + ".png");
  const char* update = std::getenv("TAVRIN_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    fs::create_directories(reference.parent_path());
    if (!platform::save_png_rgb565(reference.string(), actual.pixels, w, h, actual.stride))
      return "cannot write reference " + reference.string();
    return {};
  }
  const auto expected = platform::decode_png_file(reference.string());
  if (!expected)
    return "no reference image " + reference.string() +
           " (run with TAVRIN_UPDATE_GOLDEN=1 to create it)";
  int differences = 0, first_x = -1, first_y = -1;
  const bool same_size = expected->width == w && expected->height == h;
  if (same_size) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (argb_to_565(expected->pixels[size_t(y) * w + x]) != at(x, y)) {
          if (!differences++) first_x = x, first_y = y;
        }
    if (!differences) return {};
  }
  // Expected | actual | differences, side by side, for whoever reviews it.
  std::vector<uint16_t> sheet(size_t(w) * 3 * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint16_t got = at(x, y);
      const bool in_ref = x < expected->width && y < expected->height;
      const uint16_t want =
          in_ref ? argb_to_565(expected->pixels[size_t(y) * expected->width + x]) : 0;
      sheet[size_t(y) * w * 3 + x] = want;
      sheet[size_t(y) * w * 3 + w + x] = got;
      sheet[size_t(y) * w * 3 + 2 * w + x] = (in_ref && want == got) ? 0 : 0xF81F;
    }
  fs::create_directories(out_dir);
  const fs::path err = fs::path(out_dir) / (name + "_err.png");
  (void)platform::save_png_rgb565(err.string(), sheet.data(), w * 3, h, w * 3);
  std::ostringstream msg;
  if (!same_size)
    msg << name << ": size " << w << "x" << h << ", reference " << expected->width << "x"
        << expected->height;
  else
    msg << name << ": " << differences << " pixels differ, first at (" << first_x << ", "
        << first_y << ")";
  msg << "; see " << err.string();
  return msg.str();
}

}  // namespace tavrin::test
