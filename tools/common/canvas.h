// A cairo image surface with the drawing helpers every skin image shares:
// colours given as 0xRRGGBB, rounded shapes, glossy panels, soft shadows and
// text. One Canvas per image; not thread-safe.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

namespace tavrin::tools {

[[nodiscard]] uint32_t mix(uint32_t a, uint32_t b, double t);  // t = 0 gives a
[[nodiscard]] inline uint32_t lighten(uint32_t c, double t) {
  return mix(c, 0xFFFFFF, t);
}
[[nodiscard]] inline uint32_t darken(uint32_t c, double t) {
  return mix(c, 0x000000, t);
}

class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  [[nodiscard]] cairo_t* cr() const { return cr_; }
  [[nodiscard]] cairo_surface_t* surface() const { return surface_; }
  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }
  // Creates missing parent folders; throws std::runtime_error on failure.
  void save(const std::string& path) const;

  void colour(uint32_t rgb, double alpha = 1.0) const;
  void rounded(double x, double y, double w, double h, double r) const;  // path only
  void fill_rounded(double x, double y, double w, double h, double r, uint32_t rgb,
                    double alpha = 1.0) const;
  void stroke_rounded(double x, double y, double w, double h, double r, uint32_t rgb, double alpha,
                      double line) const;
  // Fills the current path with a top-to-bottom gradient.
  void fill_path_vertical(double y0, double y1, uint32_t top, uint32_t bottom,
                          double alpha = 1.0) const;
  // A lit, rounded panel: gradient body, bright top edge, dark rim.
  void glossy(double x, double y, double w, double h, double r, uint32_t base,
              double alpha = 1.0) const;
  // A soft shadow below a rounded rectangle.
  void shadow(double x, double y, double w, double h, double r, double spread, double alpha) const;
  void disc(double cx, double cy, double radius, uint32_t rgb, double alpha = 1.0) const;
  // Text centred on (cx, cy); family e.g. "Noto Sans CJK SC".
  void text_centred(const std::string& utf8, double cx, double cy, double size, uint32_t rgb,
                    double alpha = 1.0, bool bold = false) const;

 private:
  int width_, height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

}  // namespace tavrin::tools
