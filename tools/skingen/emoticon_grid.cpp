#include "emoticon_grid.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tavrin::tools {
namespace {

// In the chat window's table order; comments give the text code.
constexpr char32_t kFaces[kFaceCount] = {
    0x1F44D,  // (y) thumbs up
    0x1F91D,  // (null) handshake
    0x1F642,  // :) smile
    0x1F604,  // :d laugh
    0x1F609,  // ;) wink
    0x1F62E,  // :-o surprised
    0x1F61B,  // :p tongue out
    0x1F632,  // (h) surprised
    0x1F620,  // :@ angry
    0x1F641,  // :( sad
    0x1F622,  // :'( crying
    0x1F633,  // :"> embarrassed
    0x1F60F,  // ^o sarcastic
    0x1F922,  // :& sick
    0x1F62C,  // 8o| gritting teeth
    0x1F62A,  // |o sleepy
    0x1F910,  // :-# secret
    0x1F644,  // 8-) rolling eyes
    0x1F31C,  // (s) sleeping moon
    0x1F327,  // (st) rain
    0x1F552,  // (o) clock
    0x2764,   // (l) red heart
    0x1F494,  // (u) broken heart
    0x1F431,  // (@) cat face
    0x1F436,  // (&) dog face
    0x1F40C,  // (sn) snail
    0x2B50,   // (*) star
    0x2600,   // (#) sun
    0x1F308,  // (r) rainbow
    0x1F917,  // ({) hug from the left
    0x1FAC2,  // (}) hug from the right
    0x1F48B,  // (k) red lips
    0x1F339,  // (f) rose
    0x1F940,  // (w) wilted rose
    0x1F381,  // (g) gift box
    0x1F382,  // (^) cake
    0x1F3B5,  // (8) music
    0x1F4A1,  // (i) light bulb
    0x1F4AD,  // *-:) idea
    0x2615,   // (c) coffee
    0x2602,   // (um) umbrella
    0x1F4F1,  // (mp) mobile phone
    0x1F4BB,  // (co) computer
    0x1F61E,  // (:|) disappointed
    0x1F615,  // :-/ puzzled
    0x1F61F,  // :s worried
    0x1F379,  // )-| drink
    0x1F377,  // (d) wine glass
    0x1F607,  // o:) angel
    0x1F914,  // :? thinking
    0x1F608,  // >:) naughty
    0x1F913,  // :b nerd
    0x1F60E,  // b) wearing sunglasses
};

constexpr double kEmojiSide = 32;

}  // namespace

struct EmoticonGrid::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

EmoticonGrid::EmoticonGrid(const std::string& emoji_font_path) : impl_(std::make_unique<Impl>()) {
  if (FT_Init_FreeType(&impl_->library) != 0 ||
      FT_New_Face(impl_->library, emoji_font_path.c_str(), 0, &impl_->face) != 0 ||
      !FT_HAS_COLOR(impl_->face) || impl_->face->num_fixed_sizes < 1) {
    if (impl_->face != nullptr) FT_Done_Face(impl_->face);
    if (impl_->library != nullptr) FT_Done_FreeType(impl_->library);
    throw std::runtime_error("no colour emoji font at " + emoji_font_path);
  }
  // A bitmap colour font: use its largest strike and let cairo scale down.
  int best = 0;
  for (int i = 1; i < impl_->face->num_fixed_sizes; ++i)
    if (impl_->face->available_sizes[i].height > impl_->face->available_sizes[best].height)
      best = i;
  FT_Select_Size(impl_->face, best);
}

EmoticonGrid::~EmoticonGrid() {
  FT_Done_Face(impl_->face);
  FT_Done_FreeType(impl_->library);
}

bool EmoticonGrid::draw_emoji(const Canvas& canvas, char32_t cp, double cx, double cy,
                              double side) const {
  FT_Face face = impl_->face;
  if (FT_Load_Char(face, cp, FT_LOAD_COLOR) != 0) return false;
  const FT_Bitmap& bm = face->glyph->bitmap;
  if (bm.pixel_mode != FT_PIXEL_MODE_BGRA || bm.width == 0 || bm.rows == 0) return false;
  // FreeType's BGRA is premultiplied, as cairo's ARGB32 is on little-endian.
  const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w);
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * h);
  for (int row = 0; row < h; ++row)
    std::memcpy(pixels.data() + static_cast<size_t>(row) * stride,
                bm.buffer + static_cast<long>(row) * bm.pitch, static_cast<size_t>(w) * 4);
  cairo_surface_t* img =
      cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_ARGB32, w, h, stride);
  cairo_t* cr = canvas.cr();
  const double scale = side / std::max(w, h);
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, img, -w / 2.0, -h / 2.0);
  // GOOD, not BEST: its sharpening lobes push premultiplied edges out of range.
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(img);
  return true;
}

void EmoticonGrid::paint(Canvas& canvas, const Palette& palette) const {
  const SkinTones& t = palette.tones;
  for (int i = 0; i < kFaceColumns * kFaceRows; ++i) {
    const double x = (i % kFaceColumns) * kFaceCellWidth, y = (i / kFaceColumns) * kFaceCellHeight;
    if (i >= kFaceCount) continue;  // cells 53 and 54 select nothing: leave them clear
    canvas.fill_rounded(x + 2, y + 2, kFaceCellWidth - 4, kFaceCellHeight - 4, 8, 0xFFFFFF, 0.75);
    canvas.stroke_rounded(x + 2, y + 2, kFaceCellWidth - 4, kFaceCellHeight - 4, 8,
                          lighten(t.ink, 0.6), 0.5, 1);
    if (!draw_emoji(canvas, kFaces[i], x + kFaceCellWidth / 2.0, y + kFaceCellHeight / 2.0,
                    kEmojiSide))
      throw std::runtime_error("emoji font lacks emoticon " + std::to_string(i));
  }
}

}  // namespace tavrin::tools
