// Installing a theme package ("Theme.cab") into the install folder, in
// place of the device's cabinet installer. A package holds the theme file
// "BriskLibTavrinTheme.xml" (it goes where the client reads it) and the
// theme's ".png" images in the "Theme" folder or folders below it; nothing
// else. The package is read whole (platform/archive) and checked before
// anything is written; it is refused whole, with the reason the box shows,
// when
//  - an entry's name is absolute, names a drive or takes a ".." step;
//  - an entry is a link (a package holds files only) or not a plain file
//    or folder, or two entries share a name;
//  - an entry is neither the theme file nor an image in the theme folder
//    (the program, the history database, the settings file, ...);
//  - "BriskLibTavrinTheme.xml" is missing or does not parse;
//  - a ".png" entry is past the picture limits (4096 x 4096 pixels, 32 MB;
//    told by its header, before any pixel is decoded);
//  - a ".png" entry is not a readable PNG, or a background image the
//    theme file names is not an image in the theme folder, in the package
//    or installed.
// Accepted files are written into a scratch folder inside the install
// folder first and moved into place only when all are written; the files
// they replace are set aside and put back if any move fails, so a bad or
// cut package never leaves the client without a usable theme. UI thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/archive.h"
#include "shell/theme_colors.h"

namespace tavrin::screens {

inline constexpr char kThemeFileName[] = "BriskLibTavrinTheme.xml";

// An entry name as a path below the install folder ('\' separates
// folders); nullopt when it would leave the folder or names nothing.
std::optional<std::filesystem::path> safe_relative(std::string_view name);

struct PackagePlan {
  // Relative path and bytes of each file to install, in package order.
  std::vector<std::pair<std::filesystem::path, const std::string*>> files;
  shell::ThemeColors theme;  // what the package's theme file holds
};

// The checks alone (no file is written); nullopt with the reason set when
// the package is refused. The plan points into entries.
std::optional<PackagePlan> check_package(const std::vector<platform::ArchiveEntry>& entries,
                                         const std::filesystem::path& install_folder,
                                         std::u16string& refusal);

struct ThemeInstall {
  bool ok = false;
  std::u16string refusal;                      // why not, for the box
  std::vector<std::filesystem::path> written;  // relative paths installed
};

ThemeInstall install_theme_package(const std::filesystem::path& package,
                                   const std::filesystem::path& install_folder);

}  // namespace tavrin::screens
