// Text from other users (nicknames, mood texts, chat lines) made safe for a
// terminal: control characters, which could move the cursor, retitle the
// window or hide text, are shown in caret form ("^[" for ESC, "^?" for DEL)
// and the C1 controls U+0080..U+009F as "?". Tabs and line feeds (the
// listings' own line ends) stay; everything else, UTF-8 included, passes
// unchanged. Pure, any thread.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::cli {

std::string printable(std::string_view text);

}  // namespace tavrin::cli
