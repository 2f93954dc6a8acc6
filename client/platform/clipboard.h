// The clipboard for plain text. The client's own copy is always kept; when
// a desktop window is open the desktop's clipboard is used as well, so text
// moves between Tavrin and other programs. UI thread only.
#pragma once

#include <optional>
#include <string>

namespace tavrin::platform {

class Clipboard {
 public:
  static void set_text(const std::u16string& text);
  // nullopt when the clipboard holds no text.
  static std::optional<std::u16string> text();
  static void clear();
};

}  // namespace tavrin::platform
