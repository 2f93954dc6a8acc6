#include "shell/path_choice.h"

#include <cstdlib>

#include "platform/executable.h"

#ifndef TAVRIN_SHARED_FOLDER
#define TAVRIN_SHARED_FOLDER "/usr/share/tavrin"
#endif

namespace tavrin::shell {
namespace fs = std::filesystem;

namespace {

std::string variable(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// An XDG base folder: the variable when it holds an absolute path (relative
// ones are to be ignored), else the default below the home folder.
// Empty when neither gives an absolute path (no home is known).
fs::path base_folder(const std::string& value, const fs::path& home, const char* fallback) {
  if (!value.empty() && fs::path(value).is_absolute()) return value;
  if (!home.is_absolute()) return {};
  return home / fallback;
}

std::u16string folder_text(const fs::path& p) {
  std::u16string s = from_path(p);
  if (s.empty() || s.back() != u'/') s.push_back(u'/');
  return s;
}

// Why the executable's folder is a portable copy; empty when it is not.
std::string portable_reason(const fs::path& folder) {
  std::error_code ec;
  if (fs::exists(folder / kPortableMarker, ec))
    return std::string("the marker file ") + kPortableMarker + " lies beside the executable";
  if (fs::exists(folder / "DB" / "HZK20.FT", ec))
    return "the bitmap font DB/HZK20.FT lies beside the executable";
  if (fs::exists(folder.parent_path() / "CMakeCache.txt", ec)) return "it runs from a build folder";
  return {};
}

}  // namespace

PathEnvironment PathEnvironment::current() {
  PathEnvironment env;
  env.executable_folder = platform::executable_folder();
  env.xdg_data_home = variable("XDG_DATA_HOME");
  env.xdg_config_home = variable("XDG_CONFIG_HOME");
  env.home = platform::home_folder();
  env.compiled_shared_folder = TAVRIN_SHARED_FOLDER;
  return env;
}

PathChoice choose_paths(const PathEnvironment& env) {
  PathChoice c;
  if (std::string why = portable_reason(env.executable_folder); !why.empty()) {
    c.reason = "portable: " + why;
    c.paths = AppPaths::form(env.executable_folder);
    c.data_folder = c.config_folder = env.executable_folder;
    return c;
  }
  c.installed = true;
  // <prefix>/bin/tavrin finds <prefix>/share/tavrin, so that a package
  // unpacked under another prefix still finds its files.
  std::error_code ec;
  const fs::path beside = env.executable_folder.parent_path() / "share" / "tavrin";
  c.shared_folder = fs::is_directory(beside, ec) ? beside : env.compiled_shared_folder;
  c.data_folder = base_folder(env.xdg_data_home, env.home, ".local/share");
  c.config_folder = base_folder(env.xdg_config_home, env.home, ".config");
  if (!c.data_folder.empty()) c.data_folder /= "tavrin";
  if (!c.config_folder.empty()) c.config_folder /= "tavrin";
  c.reason = "installed: nothing beside the executable marks a portable copy; shipped files from " +
             c.shared_folder.string();

  c.paths = AppPaths::form(c.data_folder);
  c.paths.font_file_path = from_path(c.shared_folder / "DB" / "HZK20.FT");
  c.paths.sounds_folder = folder_text(c.shared_folder / "Sounds");
  c.paths.settings_folder = folder_text(c.config_folder);
  return c;
}

bool prepare_user_folders(const PathChoice& choice, std::string* why) {
  if (!choice.installed) return true;
  if (choice.data_folder.empty() || choice.config_folder.empty()) {
    // Never a folder relative to wherever the client was started from.
    if (why) *why = "no home folder to keep the user's files in (set HOME or the XDG folders)";
    return false;
  }
  std::error_code ec;
  for (const fs::path& folder :
       {choice.data_folder, choice.data_folder / "DB", choice.config_folder}) {
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
      if (why) *why = "cannot make " + folder.string() + ": " + ec.message();
      return false;
    }
    fs::permissions(folder, fs::perms::owner_all, ec);
  }
  // Skin images and theme packages are the user's to replace (a theme
  // package unpacks over them); only what is missing comes from the shipped set.
  std::string failed;
  for (const char* item : {"Theme", "Themes", "BriskLibTavrinTheme.xml"}) {
    const fs::path from = choice.shared_folder / item;
    if (!fs::exists(from, ec)) continue;
    fs::copy(from, choice.data_folder / item,
             fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
    if (ec) failed += (failed.empty() ? "" : ", ") + from.string() + " (" + ec.message() + ")";
  }
  if (!failed.empty() && why) *why = "cannot copy " + failed;
  return true;
}

std::filesystem::path& shipped_theme_folder() {
  static std::filesystem::path folder;
  return folder;
}

}  // namespace tavrin::shell
