// Fitting one line of text into a width: the text as it is when it fits,
// else as much of its start as fits followed by "…". A character written
// as two UTF-16 units is never split. UI thread (fonts are the UI's).
#pragma once

#include <string>
#include <string_view>

#include "platform/font.h"

namespace tavrin::controls {

std::u16string fit_text(const platform::Font& font, std::u16string_view text, int width);

}  // namespace tavrin::controls
