// Any line a chat can hold (UTF-16 code units, quotes, SQL-looking text, lone
// surrogates) is logged, read back unchanged but for TAB and line feed, and
// deleted by its text. Texts reach storage NUL-terminated, so NUL is dropped.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "storage/ChatLogStore.h"
#include "temp_dir.h"

using namespace tavrin::storage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TempDir scratch;
  static const ChatLogStore log(scratch.path / "TavrinLog.db", 1);
  std::u16string line;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit != 0) line += unit;
  }
  const std::u16string time = line.substr(0, 8);
  const std::u16string stored = ChatLogStore::withoutTabsAndLineFeeds(line);
  if (!log.append(3, line, time)) {
    if (!line.empty()) std::abort();
    return 0;
  }
  const auto lines = log.history(3);
  if (lines.size() != 1 || lines[0].line != stored || lines[0].time != time) std::abort();
  log.deleteLine(3, stored);
  if (!log.history(3).empty()) std::abort();
  return 0;
}
