#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace tavrin::tools {

uint32_t mix(uint32_t a, uint32_t b, double t) {
  const auto ch = [&](int shift) {
    const double x = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
    return static_cast<uint32_t>(std::lround(std::clamp(x, 0.0, 255.0))) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_BEST);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

void Canvas::save(const std::string& path) const {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  cairo_surface_flush(surface_);
  if (cairo_surface_write_to_png(surface_, path.c_str()) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error("cannot write " + path);
}

void Canvas::colour(uint32_t rgb, double alpha) const {
  cairo_set_source_rgba(cr_, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                        (rgb & 0xFF) / 255.0, alpha);
}

void Canvas::rounded(double x, double y, double w, double h, double r) const {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr_);
  cairo_arc(cr_, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr_, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr_, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr_, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr_);
}

void Canvas::fill_rounded(double x, double y, double w, double h, double r, uint32_t rgb,
                          double alpha) const {
  rounded(x, y, w, h, r);
  colour(rgb, alpha);
  cairo_fill(cr_);
}

void Canvas::stroke_rounded(double x, double y, double w, double h, double r, uint32_t rgb,
                            double alpha, double line) const {
  rounded(x + line / 2, y + line / 2, w - line, h - line, r);
  colour(rgb, alpha);
  cairo_set_line_width(cr_, line);
  cairo_stroke(cr_);
}

void Canvas::fill_path_vertical(double y0, double y1, uint32_t top, uint32_t bottom,
                                double alpha) const {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  const auto stop = [&](double at, uint32_t c) {
    cairo_pattern_add_color_stop_rgba(p, at, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                                      (c & 0xFF) / 255.0, alpha);
  };
  stop(0, top);
  stop(1, bottom);
  cairo_set_source(cr_, p);
  cairo_fill(cr_);
  cairo_pattern_destroy(p);
}

void Canvas::glossy(double x, double y, double w, double h, double r, uint32_t base,
                    double alpha) const {
  rounded(x, y, w, h, r);
  fill_path_vertical(y, y + h, lighten(base, 0.28), darken(base, 0.12), alpha);
  // Upper sheen.
  rounded(x + 1.5, y + 1.5, w - 3, h * 0.48, std::max(1.0, r - 1.5));
  fill_path_vertical(y, y + h * 0.5, 0xFFFFFF, 0xFFFFFF, 0.10 * alpha);
  stroke_rounded(x, y, w, h, r, darken(base, 0.35), 0.85 * alpha, 1.0);
  // Bright inner top edge.
  cairo_move_to(cr_, x + r, y + 1.5);
  cairo_line_to(cr_, x + w - r, y + 1.5);
  colour(0xFFFFFF, 0.35 * alpha);
  cairo_set_line_width(cr_, 1.0);
  cairo_stroke(cr_);
}

void Canvas::shadow(double x, double y, double w, double h, double r, double spread,
                    double alpha) const {
  const int steps = std::max(1, static_cast<int>(spread));
  for (int i = steps; i >= 1; --i) {
    const double grow = i;
    rounded(x - grow, y - grow + spread * 0.4, w + 2 * grow, h + 2 * grow, r + grow);
    colour(0x000000, alpha / steps);
    cairo_fill(cr_);
  }
}

void Canvas::disc(double cx, double cy, double radius, uint32_t rgb, double alpha) const {
  cairo_new_sub_path(cr_);
  cairo_arc(cr_, cx, cy, radius, 0, 2 * M_PI);
  colour(rgb, alpha);
  cairo_fill(cr_);
}

void Canvas::text_centred(const std::string& utf8, double cx, double cy, double size, uint32_t rgb,
                          double alpha, bool bold) const {
  cairo_select_font_face(cr_, "Noto Sans CJK SC", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, size);
  cairo_text_extents_t ext;
  cairo_text_extents(cr_, utf8.c_str(), &ext);
  cairo_move_to(cr_, cx - ext.width / 2 - ext.x_bearing, cy - ext.height / 2 - ext.y_bearing);
  colour(rgb, alpha);
  cairo_show_text(cr_, utf8.c_str());
}

}  // namespace tavrin::tools
