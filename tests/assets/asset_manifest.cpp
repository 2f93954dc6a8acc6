#include "asset_manifest.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavrin::test {

AssetManifest load_asset_manifest() {
  std::ifstream file(TAVRIN_ASSET_MANIFEST);
  if (!file) throw std::runtime_error("manifest missing");
  AssetManifest m;
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream in(line);
    std::string kind, path;
    if (!(in >> kind >> path)) continue;
    AssetImage img{path, 0, 0};
    const bool png = path.size() > 4 && path.substr(path.size() - 4) == ".png";
    if (png) in >> img.width >> img.height;
    if (kind == "image") m.images.push_back(img);
    if (kind == "cab") m.cab_entries.push_back(img);
    if (kind == "theme") m.themes.push_back(path);
  }
  return m;
}

std::string install_path(const std::string& relative) {
  return std::string(TAVRIN_INSTALL_DIR) + "/" + relative;
}

std::string with_theme(std::string path, const std::string& theme) {
  for (size_t at; (at = path.find("{theme}")) != std::string::npos;) path.replace(at, 7, theme);
  return path;
}

}  // namespace tavrin::test
