// Painter: every drawing call of a screen or control goes through one
// painter over one canvas. It keeps a translation and a clip rectangle and
// saves and restores both, so drawing code works in its own coordinates and
// never clips by hand: each call draws into the part of the canvas inside
// the clip (a sub-canvas), shapes, images and text alike.
//
// Colours are 0x00BBGGRR, alphas 0..255 as in the primitives. Platform text
// is drawn in a face ("黑体" unless named) at a pixel height; fonts are
// shared per face and height. The painter owns nothing but its state; the
// canvas must outlive it. UI thread only.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/CBitmapFont.h"
#include "gfx/CSkinImage.h"
#include "gfx/Fonts.h"
#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "gfx/Rgb565.h"
#include "platform/font.h"
#include "platform/image.h"

namespace tavrin::gfx {

class Painter {
 public:
  explicit Painter(PixelCanvas canvas);

  // --- state ---
  void save();
  void restore();  // a restore without a save is ignored
  void translate(int dx, int dy);
  // Narrows the clip to r (current coordinates); it never widens.
  void clip(const Rect& r);
  Rect clip_rect() const;  // current coordinates
  Point translation() const { return state_.origin; }
  const PixelCanvas& canvas() const { return canvas_; }

  // --- shapes (Primitives.h, in current coordinates) ---
  void fill_rect(const Rect& r, Colour colour, int alpha = 255, bool frame = false);
  void fill_rounded(const Rect& r, Colour colour, int alpha = 255, bool frame = false);
  void draw_frame(const Rect& r, Colour colour, int alpha = 255);
  void draw_rounded_frame(const Rect& r, Colour colour, int alpha = 255);
  void fill_shaded(const Rect& r, Colour fill, Colour shade, int fill_alpha, int style,
                   bool do_fill = true);
  void glossy_panel(const Rect& r, Colour fill, Colour shade, int alpha, int style);
  void highlight_cap(const Rect& r);
  void hline(int y, int x0, int x1, Colour colour, int alpha = 255);
  void vline(int x, int y0, int y1, Colour colour, int alpha = 255);
  void faded_hline(int y, int x0, int x1, Colour colour, int alpha, int fade);

  // --- images ---
  // The image (or its src part) with its top-left corner at (x, y).
  void image(const CSkinImage& image, int x, int y, const Rect* src = nullptr, int opacity = 100);
  void image_scaled(const platform::ArgbImage& image, const Rect& dest);
  // A picture file (PNG, JPEG, BMP or GIF) scaled into dest, decoded once
  // for as long as the file stays the same; false when it cannot be read.
  bool picture(const std::string& path, const Rect& dest);
  // Copies src_rect of another canvas (a saved background) to (x, y).
  void blit(const PixelCanvas& src, const Rect& src_rect, int x, int y);

  // --- text ---
  // Platform text in r with the layout flags of platform/font.h; the
  // height of the text drawn.
  int text(std::u16string_view text, const Rect& r, int height, Colour colour,
           unsigned flags = platform::text::kLeft, std::u16string_view face = kStandardFace);
  int text(std::u16string_view text, const Rect& r, const platform::Font& font, Colour colour,
           unsigned flags);
  // ink, or when it would read under 4.5:1 on what lies under r now (the
  // most frequent pixel), the nearest shade of it toward black or white
  // that reads. For texts on skins and theme colours no one chose together.
  Colour legible(Colour ink, const Rect& r) const;
  // The contrast of two colours as the accessibility guidelines define it
  // (1 to 21).
  static double contrast(Colour a, Colour b);
  // A shade laid over a picture no one chose with the text colours (a
  // user's photo): toward black under light inks, toward white under dark
  // ones, just opaque enough that each ink reads at 4.5:1 on any pixel the
  // picture may hold, the whitest and the blackest included. Alpha 0 when
  // no one shade serves all the inks (the caller then keeps legible()).
  struct Veil {
    Colour colour = 0;
    int alpha = 0;
  };
  static Veil veil_for(std::initializer_list<Colour> inks);
  // Lays veil_for(inks) over r.
  void veil(const Rect& r, std::initializer_list<Colour> inks);

  // One line of platform text in r at the largest height from height down
  // to min_height whose width fits r; a text too wide even then is cut
  // with "…". For texts that must read whole (a status, a count, a
  // title) where a long value would otherwise run out of their place.
  // The height used.
  int fitted_text(std::u16string_view text, const Rect& r, int height, int min_height,
                  Colour colour, unsigned flags = platform::text::kLeft,
                  std::u16string_view face = kStandardFace);

  // GB2312 bytes in the bitmap font from r's top-left corner.
  void bitmap_text(const CBitmapFont& font, std::string_view gb2312, const Rect& r, Colour colour,
                   int alpha = 255);

  // The font of a face and height, shared; null when the face is missing.
  static const platform::Font* font(int height, std::u16string_view face = kStandardFace);

 private:
  struct State {
    Point origin;  // translation: canvas position of this painter's (0, 0)
    Rect clip;     // canvas coordinates
  };
  // The sub-canvas under the clip, and the offset that maps current
  // coordinates into it.
  PixelCanvas target(Point* shift) const;

  PixelCanvas canvas_;
  State state_;
  std::vector<State> saved_;
};

}  // namespace tavrin::gfx
