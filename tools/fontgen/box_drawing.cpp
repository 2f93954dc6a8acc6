#include "box_drawing.h"

namespace tavrin::tools {
namespace {

// Per code point from U+2500: the weight of the up, right, down and left arm
// (0 none, 1 light, 2 heavy) and, for dashed lines, the number of dashes.
struct Box {
  const char* arms;
  int dashes;
};

constexpr Box kBoxes[] = {
    {"0101", 0}, {"0202", 0}, {"1010", 0}, {"2020", 0}, {"0101", 3}, {"0202", 3}, {"1010", 3},
    {"2020", 3}, {"0101", 4}, {"0202", 4}, {"1010", 4}, {"2020", 4}, {"0110", 0}, {"0210", 0},
    {"0120", 0}, {"0220", 0}, {"0011", 0}, {"0012", 0}, {"0021", 0}, {"0022", 0}, {"1100", 0},
    {"1200", 0}, {"2100", 0}, {"2200", 0}, {"1001", 0}, {"1002", 0}, {"2001", 0}, {"2002", 0},
    {"1110", 0}, {"1210", 0}, {"2110", 0}, {"1120", 0}, {"2120", 0}, {"2210", 0}, {"1220", 0},
    {"2220", 0}, {"1011", 0}, {"1012", 0}, {"2011", 0}, {"1021", 0}, {"2021", 0}, {"2012", 0},
    {"1022", 0}, {"2022", 0}, {"0111", 0}, {"0112", 0}, {"0211", 0}, {"0212", 0}, {"0121", 0},
    {"0122", 0}, {"0221", 0}, {"0222", 0}, {"1101", 0}, {"1102", 0}, {"1201", 0}, {"1202", 0},
    {"2101", 0}, {"2102", 0}, {"2201", 0}, {"2202", 0}, {"1111", 0}, {"1112", 0}, {"1211", 0},
    {"1212", 0}, {"2111", 0}, {"1121", 0}, {"2121", 0}, {"2112", 0}, {"2211", 0}, {"1122", 0},
    {"1221", 0}, {"2212", 0}, {"1222", 0}, {"2122", 0}, {"2221", 0}, {"2222", 0},
};

constexpr int kCentre = 9;  // a light stroke's row and column

// Whether position p (0-19) along a dashed line is inked.
bool on_dash(int p, int dashes) {
  if (dashes == 0) return true;
  const int period = kCellSize / dashes;
  return p % period < period - (dashes == 3 ? 2 : 1);
}

}  // namespace

std::optional<GlyphCell> box_drawing_cell(char32_t cp) {
  if (cp < 0x2500 || cp >= 0x2500 + std::size(kBoxes)) return std::nullopt;
  const Box& box = kBoxes[cp - 0x2500];
  GlyphCell cell;
  // Heavy strokes are three pixels wide around the light one. Each arm runs
  // from its edge across the centre, so mixed weights meet without gaps.
  const auto band = [](int weight, int offset) {
    return weight == 2 ? offset >= -1 && offset <= 1 : offset == 0;
  };
  const int up = box.arms[0] - '0', right = box.arms[1] - '0', down = box.arms[2] - '0',
            left = box.arms[3] - '0';
  for (int y = 0; y < kCellSize; ++y)
    for (int x = 0; x < kCellSize; ++x) {
      const int dx = x - kCentre, dy = y - kCentre;
      bool ink = false;
      if (up && y <= kCentre + 1 && band(up, dx) && on_dash(y, box.dashes)) ink = true;
      if (down && y >= kCentre - 1 && band(down, dx) && on_dash(y, box.dashes)) ink = true;
      if (left && x <= kCentre + 1 && band(left, dy) && on_dash(x, box.dashes)) ink = true;
      if (right && x >= kCentre - 1 && band(right, dy) && on_dash(x, box.dashes)) ink = true;
      if (ink) cell.set(x, y);
    }
  return cell;
}

}  // namespace tavrin::tools
