// GB2312 byte strings as the single-line field keeps them: a byte below
// 0x80 is one character, a byte of 0x80 or more starts a two-byte
// character. These helpers step and cut only at character starts, so no
// caller ever splits a character. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin::controls::gb {

// Length of the character starting at i (1 or 2; 0 at or past the end).
size_t char_len(std::string_view s, size_t i);
// Start of the character before i (i itself at 0).
size_t prev_start(std::string_view s, size_t i);
// Start of the character after i (the size at the end).
size_t next_start(std::string_view s, size_t i);
// Whether i is a character start (or the end) in s.
bool is_boundary(std::string_view s, size_t i);
// Keeps only whole characters: a lead byte without a trail byte of 0x80 or
// more becomes '?', a lone lead byte at the end is dropped.
std::string sanitize(std::string_view s);
// The longest prefix of s that is whole characters and at most max bytes.
std::string_view fit(std::string_view s, size_t max);
// Number of characters in s.
size_t char_count(std::string_view s);

}  // namespace tavrin::controls::gb
