// The login digest: the "A" answer to the registration challenge, and the MD5
// and hexadecimal helpers it is built from (MD5 from libcrypto).
//
// Pure functions of their arguments: no engine state, safe on any thread.
// Hexadecimal is upper case, high nibble first. md5_raw throws only when
// libcrypto offers no MD5 at all (a broken installation).
#ifndef TAVRIN_SESSION_DIGEST_H
#define TAVRIN_SESSION_DIGEST_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

class sipc_message;

using md5_value = std::array<uint8_t, 16>;

md5_value md5_raw(const void* bytes, std::size_t length);
inline md5_value md5_raw(std::string_view text) {
  return md5_raw(text.data(), text.size());
}

// 32 upper-case hexadecimal digits.
std::string md5_hex(const void* bytes, std::size_t length);
inline std::string md5_hex(std::string_view text) {
  return md5_hex(text.data(), text.size());
}

std::string hex_upper(const void* bytes, std::size_t length);

// The client nonce: md5 hex of a fixed seed, the same at every login.
std::string digest_client_nonce();

// The text after the first nonce="" up to the next double quote; none when the
// opening or the closing quote is missing.
std::optional<std::string> digest_nonce(std::string_view challenge);

// The "A" value answering the challenge text of a "W" header:
//   Digest response="<32 hex>",cnonce="<32 hex>"
// None when the challenge has no nonce.
std::optional<std::string> digest_answer(std::string_view challenge, std::string_view login_id,
                                         std::string_view sip_domain, std::string_view password);
// The same, reading the challenge from the message's "W" header.
std::optional<std::string> digest_answer(const sipc_message& challenge, std::string_view login_id,
                                         std::string_view sip_domain, std::string_view password);

}  // namespace tavrin

#endif  // TAVRIN_SESSION_DIGEST_H
