// A scratch folder for one test, removed with everything in it afterwards.
// path stays empty when no folder could be made.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

struct TempDir {
  std::filesystem::path path;
  explicit TempDir(const std::string& prefix = "tavrin") {
    std::string templ = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (const char* made = mkdtemp(templ.data())) path = made;
  }
  ~TempDir() {
    if (path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return (path / name).string(); }
};
