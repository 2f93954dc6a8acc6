// How the bitmap font places a single-byte character: the pen is nudged by
// nudge_x before the glyph is drawn (and stays moved), the glyph is drawn
// nudge_y lower for this character only, and the pen then advances. Capital
// letters are drawn one pixel further down. The client draws text with these
// numbers and the font generator shapes its ASCII glyphs to them, so this
// header stands alone: no includes, header-only, no state.
#pragma once

namespace tavrin::gfx {

struct BitmapFontMetrics {
  int nudge_x = 0;
  int nudge_y = 0;
  int advance = 11;
};

[[nodiscard]] constexpr BitmapFontMetrics bitmap_font_metrics(unsigned char ch) {
  switch (ch) {
    case '(':
      return {-7, 0, 14};
    case '.':
      return {2, 0, 2};
    case '/':
      return {-1, 0, 9};
    case '0':
      return {0, 0, 10};
    case '1':
      return {-1, 0, 9};
    case '9':
      return {0, 1, 10};
    case ':':
      return {2, 0, 2};
    case 'C':
      return {0, 0, 13};
    case 'E':
      return {-1, 0, 11};
    case 'I':
      return {-2, 0, 11};
    case 'M':
      return {0, 0, 14};
    case 'P':
      return {0, 0, 13};
    case 'W':
      return {0, 0, 15};
    case 'a':
      return {0, 0, 9};
    case 'c':
      return {0, 0, 10};
    case 'e':
      return {-1, 0, 11};
    case 'i':
      return {-2, 0, 9};
    case 'j':
      return {0, 0, 8};
    case 'l':
      return {-3, 0, 10};
    case 'm':
      return {2, 0, 14};
    case 'o':
      return {-2, 0, 11};
    case 'p':
      return {0, 1, 11};
    case 'r':
      return {-1, 0, 10};
    case 's':
      return {-2, 0, 11};
    case 'w':
      return {0, 0, 14};
    default:
      break;
  }
  if (ch >= '2' && ch <= '8') return {0, 0, 10};
  return {0, 0, 11};
}

// Extra rows below the pen for capital letters.
[[nodiscard]] constexpr int bitmap_font_drop(unsigned char ch) {
  return ch >= 'A' && ch <= 'Z' ? 1 : 0;
}

}  // namespace tavrin::gfx
