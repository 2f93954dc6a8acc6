#include "screens/theme/ThemePackages.h"

#include <algorithm>
#include <system_error>

#include "shell/app_paths.h"
#include "shell/theme_presets.h"

namespace tavrin::screens {

std::vector<ThemePackageEntry> list_theme_packages(const std::filesystem::path& install_folder) {
  std::vector<ThemePackageEntry> packages;
  std::error_code ec;
  std::filesystem::directory_iterator it(install_folder / "Themes", ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_directory(type_ec)) continue;
    packages.push_back({shell::from_path(it->path().filename()), it->path()});
  }
  // By name: the folder order of the file system means nothing to the user.
  std::sort(packages.begin(), packages.end(),
            [](const ThemePackageEntry& a, const ThemePackageEntry& b) { return a.folder < b.folder; });
  return packages;
}

std::optional<std::filesystem::path> current_package(const std::filesystem::path& install_folder,
                                                     const shell::ThemeColors& theme) {
  for (const auto& preset : shell::theme_presets()) {
    shell::ThemeColors look = theme;
    shell::apply_preset(preset, look);
    if (look == theme) return install_folder / "Themes" / std::string(preset.name);
  }
  return std::nullopt;
}

}  // namespace tavrin::screens
