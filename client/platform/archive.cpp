#include "platform/archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <functional>
#include <memory>

namespace tavrin::platform {

namespace {

using Reader = std::unique_ptr<struct archive, int (*)(struct archive*)>;

ArchiveContents fail(struct archive* a, const std::string& what) {
  ArchiveContents out;
  out.error = what;
  if (a && archive_error_string(a)) out.error += std::string(": ") + archive_error_string(a);
  return out;
}

ArchiveContents read_all(const std::function<int(struct archive*)>& open, ArchiveLimits limits) {
  Reader a(archive_read_new(), archive_read_free);
  if (!a) return fail(nullptr, "out of memory");
  archive_read_support_filter_all(a.get());
  archive_read_support_format_all(a.get());
  if (open(a.get()) != ARCHIVE_OK) return fail(a.get(), "cannot open the archive");
  ArchiveContents out;
  size_t total = 0;
  for (;;) {
    struct archive_entry* e = nullptr;
    const int r = archive_read_next_header(a.get(), &e);
    if (r == ARCHIVE_EOF) break;
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return fail(a.get(), "cannot read an entry");
    if (out.entries.size() >= limits.max_entries) return fail(nullptr, "too many entries");
    ArchiveEntry entry;
    const char* name = archive_entry_pathname(e);
    if (!name) name = archive_entry_pathname_utf8(e);
    if (!name) return fail(a.get(), "an entry without a name");
    entry.name = name;
    const char* hardlink = archive_entry_hardlink(e);
    const char* symlink = archive_entry_symlink(e);
    if (hardlink || symlink) {
      entry.kind = ArchiveEntry::Kind::kLink;
      entry.link_target = hardlink ? hardlink : symlink;
    } else {
      switch (archive_entry_filetype(e)) {
        case AE_IFREG:
          entry.kind = ArchiveEntry::Kind::kFile;
          break;
        case AE_IFDIR:
          entry.kind = ArchiveEntry::Kind::kFolder;
          break;
        default:
          entry.kind = ArchiveEntry::Kind::kOther;
          break;
      }
    }
    if (entry.kind == ArchiveEntry::Kind::kFile) {
      char buffer[16384];
      for (;;) {
        const la_ssize_t n = archive_read_data(a.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) return fail(a.get(), "cannot read " + entry.name);
        total += size_t(n);
        if (total > limits.max_bytes) return fail(nullptr, "the archive is too large");
        entry.data.append(buffer, size_t(n));
      }
    }
    out.entries.push_back(std::move(entry));
  }
  out.ok = true;
  return out;
}

}  // namespace

ArchiveContents read_archive_file(const std::string& path, ArchiveLimits limits) {
  return read_all(
      [&](struct archive* a) { return archive_read_open_filename(a, path.c_str(), 16384); },
      limits);
}

ArchiveContents read_archive_memory(const void* data, size_t size, ArchiveLimits limits) {
  return read_all([&](struct archive* a) { return archive_read_open_memory(a, data, size); },
                  limits);
}

}  // namespace tavrin::platform
