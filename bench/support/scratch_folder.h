// A fresh folder in $TMPDIR (or /tmp) for a bench's files, removed with
// everything in it when the bench is done.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace tavrin::bench {

struct ScratchFolder {
  std::filesystem::path folder;
  ScratchFolder() {
    std::string templ = (std::filesystem::temp_directory_path() / "tavrin-bench-XXXXXX").string();
    folder = ::mkdtemp(templ.data());
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
};

}  // namespace tavrin::bench
