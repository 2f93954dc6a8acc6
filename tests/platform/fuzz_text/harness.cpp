// Text from the server (UTF-8) and from the edit field (GB2312 bytes):
// conversions never fail, and valid text survives a round trip.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/text_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavrin::platform;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string from_utf8 = utf8_to_utf16(bytes);
  if (utf8_to_utf16(utf16_to_utf8(from_utf8)) != from_utf8) __builtin_trap();
  const std::u16string from_gb = gb2312_to_utf16(bytes);
  const std::string gb = utf16_to_gb2312(from_gb);
  if (gb2312_to_utf16(gb).size() > from_gb.size()) __builtin_trap();
  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2) units[i / 2] = char16_t(data[i] | (data[i + 1] << 8));
  utf16_to_gb2312(units);
  utf16_to_utf8(units);
  return 0;
}
