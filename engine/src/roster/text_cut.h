// Byte limits on texts the user types (a contact's local name, the mood
// text, the nickname): a text over its limit is cut at the last whole UTF-8
// character that fits, so the server never receives half a character. Pure
// functions, any thread.
#pragma once

#include <cstddef>
#include <string>

namespace tavrin::contacts {

// The length of the longest prefix of text (length bytes) that is at most
// limit bytes and does not end inside a UTF-8 sequence. A malformed
// sequence is cut as plain bytes.
std::size_t utf8_cut_length(const char* text, std::size_t length, std::size_t limit);

// text (nullptr as empty) cut to at most limit bytes as above.
std::string utf8_cut(const char* text, std::size_t limit);

}  // namespace tavrin::contacts
