// Text from other users (nicknames, mood texts, chat lines) made safe for a
// terminal: control characters, which could move the cursor, retitle the
// window or hide text, are shown in caret form ("^[" for ESC, "^?" for DEL,
// "^@" for NUL); the C1 controls U+0080..U+009F and the characters that
// reorder or break the rest of a line (direction marks, embeddings,
// overrides such as U+202E, isolates, U+2028/U+2029) as "?"; bytes that are
// not well-formed UTF-8 (a raw 0x9B among them) as U+FFFD. Tabs and line
// feeds (the listings' own line ends) stay; other UTF-8 passes unchanged.
// Pure, any thread.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::cli {

std::string printable(std::string_view text);

// printable() for the text of one engine message, which a reader takes for
// one line: every line after the first is marked as its continuation
// ("  | "), so a line feed inside a peer's text cannot pass for a line of
// its own (a forged chat line, a forged notice).
std::string one_message(std::string_view text);

// How a continuation line of one message begins.
inline constexpr std::string_view kContinuation = "  | ";

}  // namespace tavrin::cli
