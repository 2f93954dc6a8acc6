// Where the client's files live (AppPaths): formed once at start-up from the
// executable's folder, read by every screen. The fixed device values stand
// until start-up replaces them. UI thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrin::shell {

struct AppPaths {
  std::u16string install_folder = u"\\Disk\\BriskUI\\";
  std::u16string theme_folder = u"\\Disk\\BriskUI\\Theme\\";
  std::u16string database_path = u"\\Disk\\BriskUI\\DB\\TavrinLog.db";
  std::u16string font_file_path = u"\\Disk\\BriskUI\\DB\\HZK20.FT";
  std::u16string sounds_folder = u"\\Disk\\BriskUI\\Sounds\\";
  // Where the settings files live; empty: the install folder. An installed
  // client keeps them with the user's configuration (see path_choice.h).
  std::u16string settings_folder;

  // The five paths below install_folder (which ends in a separator).
  static AppPaths form(const std::filesystem::path& install_folder);

  // The settings file (in the settings folder) and the theme file (in the
  // install folder, where theme packages unpack).
  std::filesystem::path settings_file() const;
  std::filesystem::path theme_file() const;

  // A path as the theme file or a theme package writes it: backslashes
  // separate folders, and the device's install folder "\Disk\BriskUI\"
  // stands for ours; relative paths lie below the install folder.
  std::filesystem::path resolve(std::u16string_view path) const;
};

// The process-wide paths.
AppPaths& app_paths();

std::filesystem::path to_path(std::u16string_view text);
std::u16string from_path(const std::filesystem::path& path);

}  // namespace tavrin::shell
