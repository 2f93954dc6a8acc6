// One 20 x 20 glyph of the bitmap font as it lies in the file: 20 rows of 3
// bytes, most significant bit on the left, the right 4 columns always clear.
#pragma once

#include <array>
#include <cstdint>

namespace tavrin::tools {

inline constexpr int kCellSize = 20;
inline constexpr int kBytesPerRow = 3;
inline constexpr int kBytesPerGlyph = kCellSize * kBytesPerRow;  // 60

struct GlyphCell {
  std::array<uint8_t, kBytesPerGlyph> bytes{};

  void set(int x, int y) {
    if (x < 0 || y < 0 || x >= kCellSize || y >= kCellSize) return;  // clipped to the cell
    bytes[y * kBytesPerRow + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  [[nodiscard]] bool get(int x, int y) const {
    return (bytes[y * kBytesPerRow + x / 8] & (0x80 >> (x % 8))) != 0;
  }
  [[nodiscard]] bool blank() const {
    for (uint8_t b : bytes)
      if (b != 0) return false;
    return true;
  }
};

}  // namespace tavrin::tools
