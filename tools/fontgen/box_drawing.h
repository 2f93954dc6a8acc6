// Box-drawing characters (U+2500-U+254B, GB2312 row 9) drawn as cells whose
// lines run to the cell edges, so that boxes join up across neighbouring
// glyphs; outline fonts stop them short at 20 pixels.
#pragma once

#include <optional>

#include "glyph_cell.h"

namespace tavrin::tools {

// nullopt for a code point outside the block.
[[nodiscard]] std::optional<GlyphCell> box_drawing_cell(char32_t cp);

}  // namespace tavrin::tools
