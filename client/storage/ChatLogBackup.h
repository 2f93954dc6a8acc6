// The log viewer's backup of one contact: the file "<contact id>.txt" in the
// history database's folder, holding the contact's lines newest first. Each
// line is one record of four parts (the line, a line feed, the time, a line
// feed), each part in the device's code page followed by one 0 byte; no
// header, no encoding mark. The code page is the caller's (GBK on a Chinese
// device; a character it lacks comes out as its replacement).
//
// A backup replaces the file whole: it is written beside it and renamed over
// it, so no tail of an older, longer backup is left behind, and a failed
// write leaves the old backup as it was. Readable by its owner only, like
// the database. Any thread; one writer per file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/ChatLogStore.h"

namespace tavrin::storage {

class ChatLogBackup {
 public:
  // UTF-16 text to the code page's bytes (without a terminator).
  using Encoder = std::function<std::string(std::u16string_view)>;

  // "<folder>/<contact id>.txt"
  static std::filesystem::path pathFor(const std::filesystem::path& folder, std::int32_t contactId);
  // The file's bytes for these lines (given newest first).
  static std::string records(const std::vector<ChatLogLine>& newestFirst, const Encoder& encode);
  // Writes the file; false (the old file untouched) when it cannot.
  static bool write(const std::filesystem::path& file, const std::vector<ChatLogLine>& newestFirst,
                    const Encoder& encode);
};

// Writes bytes to file through a temporary file renamed over it, mode 0600;
// false when any step fails (the temporary file is then removed).
bool replaceFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace tavrin::storage
