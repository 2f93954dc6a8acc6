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
  // A path as the theme file keeps it: a file below the install folder
  // (named by the device's folder or by ours) relative to it with '\'
  // between folders ("Theme\bk.png"), so the file holds for any install
  // folder; any other path as it is.
  std::u16string stored(std::u16string_view path) const;

  // Whether a picture file lies outside the install folder (where the
  // theme and its packages unpack): then it is the user's own, a photo no
  // one matched to the texts drawn over it.
  bool is_own_picture(const std::filesystem::path& file) const;
};

// The process-wide paths.
AppPaths& app_paths();

std::filesystem::path to_path(std::u16string_view text);
std::u16string from_path(const std::filesystem::path& path);

}  // namespace tavrin::shell
