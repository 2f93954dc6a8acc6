// GB2312 code points to Unicode, through the C library's iconv. Built once;
// read-only afterwards.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin::tools {

inline constexpr int kGbRows = 87;         // lead bytes 0xA1..0xF7
inline constexpr int kGbCellsPerRow = 94;  // trail bytes 0xA1..0xFE
inline constexpr int kGbGlyphs = kGbRows * kGbCellsPerRow;

class Gb2312Table {
 public:
  // Throws std::runtime_error when iconv has no GB2312 converter.
  Gb2312Table();

  // 0 for a code the charset leaves empty.
  [[nodiscard]] char32_t at(int glyph) const { return table_[glyph]; }
  [[nodiscard]] static int glyph_of(uint8_t hi, uint8_t lo) {
    return (hi - 0xA1) * 94 + (lo - 0xA1);
  }

 private:
  std::vector<char32_t> table_;
};

}  // namespace tavrin::tools
