// Reading archives (theme packages: a cabinet, or any format libarchive
// reads): every entry with its name as stored, its kind, a link's target
// and a file's bytes, all in memory; nothing is written anywhere. What the
// names may do to a folder is the caller's to check. Bounded by
// ArchiveLimits, so a hostile archive cannot exhaust memory. Any thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tavrin::platform {

struct ArchiveEntry {
  enum class Kind { kFile, kFolder, kLink, kOther };
  std::string name;  // as stored (a cabinet may separate folders with '\')
  Kind kind = Kind::kOther;
  std::string link_target;  // symbolic or hard links
  std::string data;         // files
};

struct ArchiveLimits {
  size_t max_entries = 1024;
  size_t max_bytes = 64u << 20;  // all files together
};

struct ArchiveContents {
  bool ok = false;
  std::string error;  // why not, when !ok
  std::vector<ArchiveEntry> entries;
};

[[nodiscard]] ArchiveContents read_archive_file(const std::string& path, ArchiveLimits limits = {});
[[nodiscard]] ArchiveContents read_archive_memory(const void* data, size_t size,
                                                  ArchiveLimits limits = {});

}  // namespace tavrin::platform
