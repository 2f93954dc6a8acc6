// The 53 emoticons of the chat window's picker, in the order of the cells
// of "Face.png" (index = row x 11 + column): the code typed into the text,
// the name shown for it, and the colour emoji its cell shows. Codes go into
// the text and onto the wire as they stand; lines on screen show each code
// as its emoji (with_pictures). Constant data, any thread.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin::screens::chat {

struct Emoticon {
  std::u16string_view code;
  std::u16string_view name;
  char32_t picture;  // the emoji the grid draws in its cell
};

inline constexpr size_t kEmoticonCount = 53;
inline constexpr size_t kDefaultEmoticon = 3;  // ":d", "大笑"

extern const std::array<Emoticon, kEmoticonCount> kEmoticons;

// The text with every emoticon code replaced by its emoji, for drawing; at
// each place the longest code that stands there wins ("(:|)" over ":|").
std::u16string with_pictures(std::u16string_view text);

}  // namespace tavrin::screens::chat
