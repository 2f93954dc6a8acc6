#include "theme_fixture.h"

#include <algorithm>

#include "shell/app_paths.h"

namespace tavrin::test {

namespace fs = std::filesystem;

void ThemeScreenTest::SetUp() {
  ScreenTest::SetUp();
  install = use_scratch_install();
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
