// The appearance screen's nineteen colour items: their names, the theme
// value each one edits, and whether an edit lands in the screen's working
// copy (items 1-6 and 9-12, applied by "保存") or in the live theme at once
// (7, 8 and 13-19). Also the slider mapping from a pen's x to a colour
// component, and the split of a 0x00BBGGRR colour into its components.
#pragma once

#include <cstdint>

#include "shell/theme_colors.h"

namespace tavrin::screens {

inline constexpr int kColourItemCount = 19;

struct ColourItem {
  const char16_t* name;
  uint32_t shell::ThemeColors::*value;
  bool live;  // edits the live theme at once
};

// Item n (1-19) is kColourItems[n - 1].
extern const ColourItem kColourItems[kColourItemCount];

// The slider track: below x 100 gives 0, from x 356 on 255, between x - 100.
constexpr int slider_value(int x) {
  return x < 100 ? 0 : x >= 356 ? 255 : x - 100;
}
// The pen x that shows a component value on the track.
constexpr int slider_x(int value) {
  return 100 + (value < 0 ? 0 : value > 255 ? 255 : value);
}

struct Rgb {
  int red = 0, green = 0, blue = 0;
};
constexpr Rgb split_colour(uint32_t colour) {
  return {int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)};
}
constexpr uint32_t join_colour(Rgb c) {
  return uint32_t(c.red) + uint32_t(c.green) * 256u + uint32_t(c.blue) * 65536u;
}

}  // namespace tavrin::screens
