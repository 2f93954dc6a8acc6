// The installed theme packages: one per folder below "Themes/" of the
// install folder (plain files there are not packages), in the order the
// file system returns them; each folder holds "PreSee.png" (its preview)
// and "Theme.cab" (the package). Also which package's look is the one in
// use, when the theme matches a built-in preset. Any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "shell/theme_colors.h"

namespace tavrin::screens {

struct ThemePackageEntry {
  std::u16string name;           // the folder's name
  std::filesystem::path folder;  // <install folder>/Themes/<name>
  std::filesystem::path preview() const { return folder / "PreSee.png"; }
  std::filesystem::path package() const { return folder / "Theme.cab"; }
};

std::vector<ThemePackageEntry> list_theme_packages(const std::filesystem::path& install_folder);

// The package folder of the built-in preset whose colours the theme has.
std::optional<std::filesystem::path> current_package(const std::filesystem::path& install_folder,
                                                     const shell::ThemeColors& theme);

}  // namespace tavrin::screens
