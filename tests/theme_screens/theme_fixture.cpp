#include "theme_fixture.h"

#include <algorithm>

#include "shell/app_paths.h"

namespace tavrin::test {

namespace fs = std::filesystem;

void ThemeScreenTest::SetUp() {
  ScreenTest::SetUp();
  install = data.path / "install";
  fs::create_directories(install);
  const fs::path build = TAVRIN_INSTALL_DIR;
  fs::copy(build / "Theme", install / "Theme", fs::copy_options::recursive);
  fs::copy(build / "Themes", install / "Themes", fs::copy_options::recursive);
  auto& paths = shell::app_paths();
  const std::u16string db = paths.database_path;
  paths = shell::AppPaths::form(install);
  paths.database_path = db;
}

std::vector<std::string> ThemeScreenTest::tree() const {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(data.path))
    files.push_back(fs::relative(e.path(), data.path).string() + (e.is_symlink()     ? "@"
                                                                  : e.is_directory() ? "/"
                                                                                     : ""));
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace tavrin::test
