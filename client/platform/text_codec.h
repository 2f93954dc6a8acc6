// Conversions between the client's UTF-16 text, the engine's UTF-8, the
// GB2312 bytes of the bitmap font and the single-line edit field, and GBK
// for files in the device's code page. Pure functions, any thread.
// Malformed input never fails: a bad UTF-8 sequence or a lone surrogate
// becomes U+FFFD, a character GB2312 (or GBK) lacks becomes '?', and GB2312
// output never ends in half a character.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::platform {

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view utf16);

std::string utf16_to_gb2312(std::u16string_view text);
// The device's OEM code page on a Chinese device (GBK), for files written
// in it: a character GBK lacks becomes '?'.
std::string utf16_to_gbk(std::u16string_view text);
std::u16string gb2312_to_utf16(std::string_view bytes);

}  // namespace tavrin::platform
