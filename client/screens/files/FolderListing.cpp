#include "screens/files/FolderListing.h"

#include <cstdlib>
#include <system_error>

#include "shell/app_paths.h"

namespace tavrin::screens {

bool is_image_name(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return false;
  std::u16string ext(name.substr(dot + 1));
  for (auto& c : ext)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
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
  return entries;
}

std::filesystem::path device_root() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  return "/";
}

}  // namespace tavrin::screens
