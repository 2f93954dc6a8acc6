// Any bytes as a theme package: reading never fails hard, and a package the
// checks accept names only paths below the install folder, and only the
// theme file and images in the theme folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "screens/theme/ThemeInstaller.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto contents = tavrin::platform::read_archive_memory(data, size);
  if (!contents.ok) return 0;
  std::u16string refusal;
  const auto plan = tavrin::screens::check_package(contents.entries, "/nonexistent", refusal);
  if (!plan) return 0;
  for (const auto& [rel, bytes] : plan->files) {
    if (rel.is_absolute() || rel.empty()) std::abort();
    for (const auto& part : rel)
      if (part == "..") std::abort();
    const bool theme_file = rel == tavrin::screens::kThemeFileName;
    const bool image = *rel.begin() == "Theme" && rel.extension() != "" &&
                       std::distance(rel.begin(), rel.end()) >= 2;
    if (!theme_file && !image) std::abort();
  }
  return 0;
}
