// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "tavrin-XXXXXX").string();
    path = mkdtemp(templ.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return (path / name).string(); }
};
