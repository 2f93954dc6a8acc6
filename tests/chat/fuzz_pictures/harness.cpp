// Any line a contact sends shows with its emoticon codes as pictures: never
// a crash, never longer than the line (a code is two units or more, its
// picture two).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "screens/chat/EmoticonTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string line(size / 2, u'\0');
  for (size_t i = 0; i < line.size(); ++i) line[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
  const std::u16string shown = tavrin::screens::chat::with_pictures(line);
  if (shown.size() > line.size()) std::abort();
  return 0;
}
