// Which layout the client runs in. A portable copy (a build folder, or any
// folder holding the bitmap font or the marker file "tavrin-portable" beside
// the executable) keeps everything beside the executable. An installed copy
// reads its shipped files from the shared folder (<prefix>/share/tavrin) and
// keeps the user's own under the XDG base folders: the database, the theme
// file, the skin images and theme packages in $XDG_DATA_HOME/tavrin (default
// ~/.local/share/tavrin), the settings files in $XDG_CONFIG_HOME/tavrin
// (default ~/.config/tavrin), both owner-only. UI thread, at start-up.
#pragma once

#include <filesystem>
#include <string>

#include "shell/app_paths.h"

namespace tavrin::shell {

inline constexpr char kPortableMarker[] = "tavrin-portable";

// What the choice reads from the process's surroundings; current() takes it
// from the environment, tests fill it by hand.
struct PathEnvironment {
  std::filesystem::path executable_folder;
  std::string xdg_data_home, xdg_config_home;  // as set; empty when unset
  std::filesystem::path home;
  std::filesystem::path compiled_shared_folder;  // the shared folder the build was made for
  static PathEnvironment current();
};

struct PathChoice {
  bool installed = false;
  std::string reason;  // one line for --print-paths
  AppPaths paths;
  std::filesystem::path shared_folder;  // installed: the shipped read-only files
  std::filesystem::path data_folder, config_folder;
};

PathChoice choose_paths(const PathEnvironment& env);

// Installed only: makes the user's folders (owner-only) and copies in the
// shipped skin images, theme packages and theme file that are not there
// yet, so that files the user changed stay. False with a reason when a
// folder could not be made; files that fail to copy are named in *why but
// do not fail the start.
bool prepare_user_folders(const PathChoice& choice, std::string* why);

// An installed copy's shipped skin images (the shared folder's "Theme"),
// set at start-up: a skin image of the user's that cannot be drawn is taken
// from there. Empty for a portable copy, whose theme folder is the shipped
// one. UI thread.
std::filesystem::path& shipped_theme_folder();

}  // namespace tavrin::shell
