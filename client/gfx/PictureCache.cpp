#include "gfx/PictureCache.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/picture.h"

namespace tavrin::gfx {
namespace {

namespace fs = std::filesystem;

struct Entry {
  std::string path;
  int width = 0, height = 0;
  fs::file_time_type written;
  std::uintmax_t bytes = 0;
  std::shared_ptr<const platform::ArgbImage> picture;  // null: unreadable
};

constexpr size_t kKept = 4;
std::vector<Entry> g_entries;  // the last used first

}  // namespace

std::shared_ptr<const platform::ArgbImage> cached_picture(const std::string& path, int width,
                                                          int height) {
  std::error_code ec;
  const fs::file_time_type written = fs::last_write_time(path, ec);
  if (ec) return nullptr;
  const std::uintmax_t bytes = fs::file_size(path, ec);
  if (ec) return nullptr;
  for (size_t i = 0; i < g_entries.size(); ++i) {
    Entry& e = g_entries[i];
    if (e.path != path || e.width != width || e.height != height) continue;
    if (e.written == written && e.bytes == bytes) {
      std::rotate(g_entries.begin(), g_entries.begin() + long(i), g_entries.begin() + long(i) + 1);
      return g_entries.front().picture;
    }
    g_entries.erase(g_entries.begin() + long(i));  // the file changed
    break;
  }
  std::shared_ptr<const platform::ArgbImage> picture;
  if (auto decoded = platform::decode_picture_file(path, {width, height}))
    picture = std::make_shared<const platform::ArgbImage>(std::move(*decoded));
  g_entries.insert(g_entries.begin(), Entry{path, width, height, written, bytes, picture});
  if (g_entries.size() > kKept) g_entries.pop_back();
  return picture;
}

}  // namespace tavrin::gfx
