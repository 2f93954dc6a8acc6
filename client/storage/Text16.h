// Small UTF-16 text helpers shared by the storage layer: decimal formatting
// as the client's "%ld" does, and UTF-16 to UTF-8 for diagnostics and for
// file-system calls. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin::storage {

// Decimal text of `value`, as "%ld" formats it.
std::u16string decimal16(std::int64_t value);

// UTF-8 form of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);

}  // namespace tavrin::storage
