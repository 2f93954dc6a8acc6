// How the client's bitmap text places a single-byte character: the pen is
// nudged before the glyph is drawn and then advanced. The font generator
// shapes the row-3 glyphs to these numbers so ASCII text reads evenly.
#pragma once

namespace tavrin::tools {

struct AsciiMetrics {
  int nudge_x = 0;  // kept: moves the pen for good
  int nudge_y = 0;  // this character only
  int advance = 11;
};

// Capital letters are drawn one pixel below the pen.
[[nodiscard]] inline AsciiMetrics ascii_metrics(char ch) {
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
      if (ch >= '2' && ch <= '8') return {0, 0, 10};
      return {0, 0, 11};
  }
}

[[nodiscard]] inline int ascii_drop(char ch) {
  return ch >= 'A' && ch <= 'Z' ? 1 : 0;
}

}  // namespace tavrin::tools
