// Login digest as the service checks it. Accounts keep only the digest key
// (MD5 of "id:domain:password"), never the password itself; the key is all
// that verifying an answer needs. Pure functions, any thread.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::server {

// Upper-case hexadecimal of bytes.
std::string hexUpper(const unsigned char* bytes, size_t length);
// 32 upper-case hex digits of MD5(text).
std::string md5Hex(std::string_view text);
// Hex form of the 16-byte key MD5("id:domain:password").
std::string digestKeyHex(std::string_view id, std::string_view domain, std::string_view password);
// The expected response for a stored key, the server's nonce and the client's cnonce.
std::string digestResponse(std::string_view keyHex, std::string_view id, std::string_view nonce,
                           std::string_view cnonce);
// Value of attribute `name="..."` inside a header such as "A"; false when absent.
bool quotedParam(std::string_view header, std::string_view name, std::string& out);
// A fresh random nonce (32 upper-case hex digits).
std::string newNonce();

}  // namespace tavrin::server
