// The 53 emoticons of the chat window's picker, in the order of the cells
// of "Face.png" (index = row x 11 + column): the code typed into the text
// and the name shown for it. Codes go into the text as they stand; lines
// are drawn as plain text. Constant data, any thread.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tavrin::screens::chat {

struct Emoticon {
  std::u16string_view code;
  std::u16string_view name;
};

inline constexpr size_t kEmoticonCount = 53;
inline constexpr size_t kDefaultEmoticon = 3;  // ":d", "大笑"

extern const std::array<Emoticon, kEmoticonCount> kEmoticons;

}  // namespace tavrin::screens::chat
