// The emoticon grid "Face.png": 11 columns x 5 rows of 42 x 40 cells holding
// the chat window's 53 emoticons in table order (index = row x 11 + column),
// each rendered from a colour emoji font with FreeType and scaled by cairo.
#pragma once

#include <memory>
#include <string>

#include "canvas.h"
#include "palette.h"

namespace tavrin::tools {

inline constexpr int kFaceColumns = 11;
inline constexpr int kFaceRows = 5;
inline constexpr int kFaceCellWidth = 42;
inline constexpr int kFaceCellHeight = 40;
inline constexpr int kFaceCount = 53;

class EmoticonGrid {
 public:
  // Throws std::runtime_error when the emoji font cannot be opened.
  explicit EmoticonGrid(const std::string& emoji_font_path);
  ~EmoticonGrid();
  EmoticonGrid(const EmoticonGrid&) = delete;
  EmoticonGrid& operator=(const EmoticonGrid&) = delete;

  // Paints the grid into a 462 x 200 canvas.
  void paint(Canvas& canvas, const Palette& palette) const;

 private:
  // Draws one emoji centred on (cx, cy) with the given side.
  bool draw_emoji(const Canvas& canvas, char32_t cp, double cx, double cy, double side) const;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrin::tools
