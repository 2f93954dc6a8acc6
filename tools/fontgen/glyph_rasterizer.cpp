#include "glyph_rasterizer.h"

#include <algorithm>
#include <stdexcept>

#include "gfx/BitmapFontMetrics.h"

namespace tavrin::tools {

GlyphRasterizer::GlyphRasterizer(const std::string& font_path, const std::string& family) {
  if (FT_Init_FreeType(&library_) != 0) throw std::runtime_error("FreeType init failed");
  // A collection holds several faces; pick ours by family name.
  for (FT_Long index = 0;; ++index) {
    FT_Face face = nullptr;
    if (FT_New_Face(library_, font_path.c_str(), index, &face) != 0) break;
    if (face->family_name != nullptr && family == face->family_name) {
      face_ = face;
      break;
    }
    const FT_Long faces = face->num_faces;
    FT_Done_Face(face);
    if (index + 1 >= faces) break;
  }
  if (face_ == nullptr) {
    FT_Done_FreeType(library_);
    throw std::runtime_error("no face \"" + family + "\" in " + font_path);
  }
}

GlyphRasterizer::~GlyphRasterizer() {
  FT_Done_Face(face_);
  FT_Done_FreeType(library_);
}

bool GlyphRasterizer::load_mono(char32_t cp, int width_px, int height_px) {
  if (FT_Get_Char_Index(face_, cp) == 0) return false;
  FT_Set_Pixel_Sizes(face_, static_cast<FT_UInt>(width_px), static_cast<FT_UInt>(height_px));
  // The face's own hints, aimed at 1-bit output: strokes snap to whole pixels
  // and stay one pixel wide, which reads best at this size.
  if (FT_Load_Char(face_, cp, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return false;
  return FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_MONO) == 0;
}

void GlyphRasterizer::blit(GlyphCell& cell, int x0, int y0) const {
  const FT_Bitmap& bm = face_->glyph->bitmap;
  for (unsigned row = 0; row < bm.rows; ++row) {
    const unsigned char* line = bm.buffer + static_cast<long>(row) * bm.pitch;
    for (unsigned col = 0; col < bm.width; ++col)
      if (line[col / 8] & (0x80 >> (col % 8)))
        cell.set(x0 + static_cast<int>(col), y0 + static_cast<int>(row));
  }
}

GlyphCell GlyphRasterizer::full_width(char32_t cp) {
  GlyphCell cell;
  if (cp == 0 || !load_mono(cp, kHanziPixelSize, kHanziPixelSize)) return cell;
  const FT_GlyphSlot g = face_->glyph;
  const int advance = static_cast<int>((g->advance.x + 32) >> 6);
  blit(cell, (kCellSize - advance) / 2 + g->bitmap_left, kHanziBaseline - g->bitmap_top);
  return cell;
}

GlyphCell GlyphRasterizer::ascii(char ch) {
  GlyphCell cell;
  const gfx::BitmapFontMetrics m = gfx::bitmap_font_metrics(static_cast<unsigned char>(ch));
  // Room from the pen before the nudge to the next character's pen, one
  // pixel kept free between neighbours.
  const int room = std::max(1, m.nudge_x + m.advance - 1);
  // Too wide a letter is narrowed, never shortened, so all letters keep the
  // same height.
  int width_px = kAsciiPixelSize;
  for (; width_px >= kAsciiMinPixelSize; --width_px) {
    if (!load_mono(static_cast<unsigned char>(ch), width_px, kAsciiPixelSize)) return cell;
    if (static_cast<int>(face_->glyph->bitmap.width) <= room) break;
  }
  if (width_px < kAsciiMinPixelSize) return cell;
  const FT_GlyphSlot g = face_->glyph;
  const int width = static_cast<int>(g->bitmap.width);
  // Ink starts one pixel right of the un-nudged pen and is centred in its
  // room; the cell offset undoes the nudge the client applies.
  const int ink_left = 1 + std::max(0, (room - width) / 2);
  const int x0 = std::max(0, ink_left - m.nudge_x);
  const int y0 = kAsciiBaseline - g->bitmap_top -
                 gfx::bitmap_font_drop(static_cast<unsigned char>(ch)) - m.nudge_y;
  blit(cell, x0, y0);
  if (ch == 'I') {
    // A bare stroke would stand alone in its 9-pixel advance; serifs fill it.
    const int mid = x0 + width / 2;
    const int rows = static_cast<int>(g->bitmap.rows);
    for (int dx = -2; dx <= 2; ++dx) {
      cell.set(mid + dx, y0);
      cell.set(mid + dx, y0 + rows - 1);
    }
  }
  return cell;
}

}  // namespace tavrin::tools
