// Base64 (standard alphabet, "=" padding, no line breaks) for the HTTP proxy's
// Basic authorisation. A pure function; safe on any thread.
#ifndef TAVRIN_SIPC_BASE64_H
#define TAVRIN_SIPC_BASE64_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

std::string base64(std::string_view bytes);
// A length of 0 means the NUL-terminated text at bytes (the engine's old calling form).
std::string base64(const char* bytes, std::size_t length);

}  // namespace tavrin

#endif  // TAVRIN_SIPC_BASE64_H
