// The asset manifest as the tests read it (kept apart from the tools' own
// reader so that a misreading there shows up here), and the install folder.
#pragma once

#include <string>
#include <vector>

namespace tavrin::test {

struct AssetImage {
  std::string path;  // relative to the install folder
  int width = 0;     // 0 for a cab entry that is not an image
  int height = 0;
};

struct AssetManifest {
  std::vector<AssetImage> images;
  std::vector<std::string> themes;
  std::vector<AssetImage> cab_entries;  // paths may hold {theme}
};

AssetManifest load_asset_manifest();
std::string install_path(const std::string& relative);
std::string with_theme(std::string path, const std::string& theme);

}  // namespace tavrin::test
