// Any line of an export file is read without harm; a line that reads
// writes back to the same record.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "storage/ChatLogExport.h"

using tavrin::storage::ChatLogExport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto record = ChatLogExport::parse(line);
  if (!record) return 0;
  const auto again = ChatLogExport::parse(ChatLogExport::json(*record));
  if (!again || !(*again == *record)) std::abort();
  return 0;
}
