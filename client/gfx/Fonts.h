// Platform fonts for the screens: the standard face "黑体" at a requested
// height (weight 400, no italic, underline or strike-out), and the edit
// control's "宋体" at 24. The caller owns the font and drops it after
// drawing. Drawing goes through a DeviceContext. UI thread only.
#pragma once

#include <optional>
#include <string_view>

#include "platform/font.h"

namespace tavrin::gfx {

inline constexpr char16_t kStandardFace[] = u"黑体";
inline constexpr char16_t kEditFace[] = u"宋体";
inline constexpr int kEditFontHeight = 24;

// Null when no face is installed for the name (text then draws nothing).
[[nodiscard]] inline std::optional<platform::Font> make_font(
    int height, std::u16string_view face = kStandardFace) {
  if (height <= 0) return std::nullopt;
  return platform::Font::make(face, height);
}

}  // namespace tavrin::gfx
