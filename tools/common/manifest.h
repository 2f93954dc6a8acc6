// The asset manifest (tools/assets/manifest.txt): every file the build puts
// into the install folder, with image sizes. Plain data; read-only after load.
#pragma once

#include <string>
#include <vector>

namespace tavrin::tools {

struct ManifestImage {
  std::string path;  // relative to the install folder, '/' separated
  int width = 0;
  int height = 0;
  std::string note;
};

struct Manifest {
  std::vector<ManifestImage> images;       // "image" lines
  std::vector<std::string> themes;         // "theme" names, in file order
  std::vector<ManifestImage> cab_entries;  // "cab" lines; width 0 for a non-image
  std::vector<std::string> files;          // "file" lines

  // Throws std::runtime_error on a missing file or a malformed line.
  static Manifest load(const std::string& path);
  // A cab line's path with {theme} replaced.
  static std::string for_theme(const std::string& path, const std::string& theme);
};

}  // namespace tavrin::tools
