// The longest chat line (a message or in-dialog body) one user may send
// another. The server refuses a longer line from its sender, and every
// engine takes any line up to it from the server, so nothing the server
// relays is too long for its receiver. Header-only, no state.
#pragma once

#include <cstddef>

namespace tavrin {

inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

}  // namespace tavrin
