#include "screens/files/FolderListing.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "shell/app_paths.h"

namespace tavrin::screens {

namespace {

std::u16string ascii_lower(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  return out;
}

}  // namespace

bool is_image_name(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return false;
  const std::u16string ext = ascii_lower(name.substr(dot + 1));
  for (std::u16string_view known : {u"jpg", u"jpeg", u"bmp", u"png", u"gif"})
    if (ext == known) return true;
  return false;
}

std::vector<FolderEntry> list_folder(const std::filesystem::path& folder) {
  std::vector<FolderEntry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::filesystem::path& path = it->path();
    std::u16string name = shell::from_path(path.filename());
    if (name.empty() || name.front() == u'.') continue;
    std::error_code type_ec;
    if (it->is_directory(type_ec)) {
      entries.push_back({std::move(name), path, true});
    } else if (it->is_regular_file(type_ec) && is_image_name(name)) {
      entries.push_back({std::move(name), path, false});
    }
  }
  std::sort(entries.begin(), entries.end(), [&](const FolderEntry& a, const FolderEntry& b) {
    if (a.folder != b.folder) return a.folder;
    const auto ka = ascii_lower(a.name), kb = ascii_lower(b.name);
    return ka != kb ? ka < kb : a.name < b.name;
  });
  return entries;
}

std::filesystem::path device_root() {
  return "/";
}

std::filesystem::path start_folder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  return device_root();
}

}  // namespace tavrin::screens
