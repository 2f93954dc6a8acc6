// The fixture of the appearance, theme-package and file-picker tests: the
// screen-test fixture (no server needed) with a scratch install folder
// holding copies of the build's skin images and theme packages, so that
// installing a package or saving the theme never touches the build.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ScreenTest.h"

namespace tavrin::test {

class ThemeScreenTest : public ScreenTest {
 protected:
  void SetUp() override;

  // Every file below the scratch folder (relative paths, sorted).
  std::vector<std::string> tree() const;

  std::string golden_shot(const std::string& name) {
    return golden(TAVRIN_THEME_GOLDEN_DIR, TAVRIN_THEME_OUT_DIR, name);
  }

  std::filesystem::path install;  // <scratch>/install
};

}  // namespace tavrin::test
