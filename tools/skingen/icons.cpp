#include "icons.h"

#include <cmath>

namespace tavrin::tools::icons {
namespace {

void pen(const Canvas& c, double s, uint32_t rgb, double alpha = 1.0) {
  c.colour(rgb, alpha);
  cairo_set_line_width(c.cr(), std::max(1.2, s / 14));
  cairo_set_line_cap(c.cr(), CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(c.cr(), CAIRO_LINE_JOIN_ROUND);
}

// Details of an icon are cut out of its body rather than painted white, so
// an icon reads on any tile colour: draw the body between begin_cut() and
// cut(), the details after cut(), then end_cut().
void begin_cut(const Canvas& c) {
  cairo_push_group(c.cr());
}
void cut(const Canvas& c) {
  cairo_set_operator(c.cr(), CAIRO_OPERATOR_CLEAR);
}
void end_cut(const Canvas& c) {
  cairo_set_operator(c.cr(), CAIRO_OPERATOR_OVER);
  cairo_pop_group_to_source(c.cr());
  cairo_paint(c.cr());
}

void line(const Canvas& c, double x0, double y0, double x1, double y1) {
  cairo_move_to(c.cr(), x0, y0);
  cairo_line_to(c.cr(), x1, y1);
  cairo_stroke(c.cr());
}

}  // namespace

void person(const Canvas& c, double x, double y, double s, uint32_t rgb, double alpha) {
  cairo_t* cr = c.cr();
  // Head.
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + s * 0.5, y + s * 0.32, s * 0.19, 0, 2 * M_PI);
  c.colour(rgb, alpha);
  cairo_fill(cr);
  // Shoulders: a half-rounded body clipped by the box bottom.
  cairo_new_sub_path(cr);
  cairo_move_to(cr, x + s * 0.14, y + s * 0.92);
  cairo_curve_to(cr, x + s * 0.14, y + s * 0.62, x + s * 0.30, y + s * 0.55, x + s * 0.5,
                 y + s * 0.55);
  cairo_curve_to(cr, x + s * 0.70, y + s * 0.55, x + s * 0.86, y + s * 0.62, x + s * 0.86,
                 y + s * 0.92);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void two_people(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  person(c, x + s * 0.22, y + s * 0.02, s * 0.78, rgb, 0.55);
  person(c, x, y + s * 0.16, s * 0.80, rgb);
}

void phone(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  begin_cut(c);
  c.fill_rounded(x + s * 0.28, y + s * 0.08, s * 0.44, s * 0.84, s * 0.08, rgb);
  cut(c);
  c.fill_rounded(x + s * 0.33, y + s * 0.18, s * 0.34, s * 0.56, s * 0.03, 0);
  c.disc(x + s * 0.5, y + s * 0.83, s * 0.045, 0);
  end_cut(c);
}

void envelope(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  const double w = s * 0.84, h = s * 0.6, x0 = x + s * 0.08, y0 = y + s * 0.2;
  begin_cut(c);
  c.fill_rounded(x0, y0, w, h, s * 0.08, rgb);
  cut(c);
  pen(c, s, 0);
  cairo_move_to(c.cr(), x0 + s * 0.06, y0 + s * 0.08);
  cairo_line_to(c.cr(), x0 + w / 2, y0 + h * 0.58);
  cairo_line_to(c.cr(), x0 + w - s * 0.06, y0 + s * 0.08);
  cairo_stroke(c.cr());
  end_cut(c);
}

void bubble(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  cairo_t* cr = c.cr();
  begin_cut(c);
  c.rounded(x + s * 0.08, y + s * 0.14, s * 0.84, s * 0.56, s * 0.2);
  cairo_move_to(cr, x + s * 0.28, y + s * 0.66);
  cairo_line_to(cr, x + s * 0.22, y + s * 0.88);
  cairo_line_to(cr, x + s * 0.46, y + s * 0.68);
  cairo_close_path(cr);
  c.colour(rgb);
  cairo_fill(cr);
  cut(c);
  for (int i = 0; i < 3; ++i) c.disc(x + s * (0.32 + i * 0.18), y + s * 0.42, s * 0.05, 0);
  end_cut(c);
}

void card(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  begin_cut(c);
  c.fill_rounded(x + s * 0.1, y + s * 0.2, s * 0.8, s * 0.6, s * 0.08, rgb);
  cut(c);
  person(c, x + s * 0.14, y + s * 0.28, s * 0.34, 0);
  pen(c, s, 0);
  line(c, x + s * 0.54, y + s * 0.4, x + s * 0.78, y + s * 0.4);
  line(c, x + s * 0.54, y + s * 0.52, x + s * 0.74, y + s * 0.52);
  line(c, x + s * 0.54, y + s * 0.64, x + s * 0.68, y + s * 0.64);
  end_cut(c);
}

void dots(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  for (int i = 0; i < 3; ++i) c.disc(x + s * (0.24 + i * 0.26), y + s * 0.5, s * 0.09, rgb);
}

void plus(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  pen(c, s * 1.6, rgb);
  line(c, x + s * 0.5, y + s * 0.22, x + s * 0.5, y + s * 0.78);
  line(c, x + s * 0.22, y + s * 0.5, x + s * 0.78, y + s * 0.5);
}

void minus(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  pen(c, s * 1.6, rgb);
  line(c, x + s * 0.24, y + s * 0.5, x + s * 0.76, y + s * 0.5);
}

void cross(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  pen(c, s * 1.5, rgb);
  line(c, x + s * 0.28, y + s * 0.28, x + s * 0.72, y + s * 0.72);
  line(c, x + s * 0.72, y + s * 0.28, x + s * 0.28, y + s * 0.72);
}

void check(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  pen(c, s * 1.6, rgb);
  cairo_move_to(c.cr(), x + s * 0.24, y + s * 0.52);
  cairo_line_to(c.cr(), x + s * 0.43, y + s * 0.70);
  cairo_line_to(c.cr(), x + s * 0.77, y + s * 0.32);
  cairo_stroke(c.cr());
}

void question(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  pen(c, s * 1.4, rgb);
  cairo_arc(c.cr(), x + s * 0.5, y + s * 0.38, s * 0.16, M_PI, M_PI * 2.25);
  cairo_line_to(c.cr(), x + s * 0.5, y + s * 0.6);
  cairo_stroke(c.cr());
  c.disc(x + s * 0.5, y + s * 0.77, s * 0.06, rgb);
}

void magnifier(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  pen(c, s * 1.3, rgb);
  cairo_new_sub_path(c.cr());
  cairo_arc(c.cr(), x + s * 0.43, y + s * 0.43, s * 0.24, 0, 2 * M_PI);
  cairo_stroke(c.cr());
  pen(c, s * 1.9, rgb);
  line(c, x + s * 0.61, y + s * 0.61, x + s * 0.82, y + s * 0.82);
}

void refresh(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  cairo_t* cr = c.cr();
  pen(c, s * 1.3, rgb);
  for (int half = 0; half < 2; ++half) {
    const double a0 = half * M_PI + 0.35, a1 = half * M_PI + M_PI - 0.35;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + s * 0.5, y + s * 0.5, s * 0.3, a0, a1);
    cairo_stroke(cr);
    const double ex = x + s * 0.5 + s * 0.3 * std::cos(a1),
                 ey = y + s * 0.5 + s * 0.3 * std::sin(a1);
    const double tx = -std::sin(a1), ty = std::cos(a1);  // direction of travel
    cairo_move_to(cr, ex + tx * s * 0.14, ey + ty * s * 0.14);
    cairo_line_to(cr, ex - ty * s * 0.1, ey + tx * s * 0.1);
    cairo_line_to(cr, ex + ty * s * 0.1, ey - tx * s * 0.1);
    cairo_close_path(cr);
    c.colour(rgb);
    cairo_fill(cr);
  }
}

void clock(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  pen(c, s * 1.2, rgb);
  cairo_new_sub_path(c.cr());
  cairo_arc(c.cr(), x + s * 0.5, y + s * 0.5, s * 0.34, 0, 2 * M_PI);
  cairo_stroke(c.cr());
  cairo_move_to(c.cr(), x + s * 0.5, y + s * 0.3);
  cairo_line_to(c.cr(), x + s * 0.5, y + s * 0.5);
  cairo_line_to(c.cr(), x + s * 0.65, y + s * 0.6);
  cairo_stroke(c.cr());
}

void moon(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  cairo_t* cr = c.cr();
  cairo_push_group(cr);
  c.disc(x + s * 0.5, y + s * 0.5, s * 0.32, rgb);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  c.disc(x + s * 0.66, y + s * 0.38, s * 0.27, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_pop_group_to_source(cr);
  cairo_paint(cr);
}

void keyboard(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  begin_cut(c);
  c.fill_rounded(x + s * 0.08, y + s * 0.26, s * 0.84, s * 0.5, s * 0.08, rgb);
  cut(c);
  for (int row = 0; row < 2; ++row)
    for (int k = 0; k < 5; ++k)
      c.fill_rounded(x + s * (0.15 + k * 0.145), y + s * (0.33 + row * 0.13), s * 0.1, s * 0.09,
                     s * 0.02, 0);
  c.fill_rounded(x + s * 0.27, y + s * 0.6, s * 0.46, s * 0.08, s * 0.02, 0);
  end_cut(c);
}

void clipboard(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  begin_cut(c);
  c.fill_rounded(x + s * 0.2, y + s * 0.14, s * 0.6, s * 0.76, s * 0.08, rgb);
  cut(c);
  c.fill_rounded(x + s * 0.33, y + s * 0.06, s * 0.34, s * 0.2, s * 0.06, 0);
  pen(c, s, 0);
  for (int i = 0; i < 3; ++i)
    line(c, x + s * 0.32, y + s * (0.42 + i * 0.14), x + s * (0.68 - i * 0.08),
         y + s * (0.42 + i * 0.14));
  end_cut(c);
  c.fill_rounded(x + s * 0.38, y + s * 0.09, s * 0.24, s * 0.12, s * 0.04, rgb);
}

void smiley(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  begin_cut(c);
  c.disc(x + s * 0.5, y + s * 0.5, s * 0.36, rgb);
  cut(c);
  c.disc(x + s * 0.38, y + s * 0.42, s * 0.05, 0);
  c.disc(x + s * 0.62, y + s * 0.42, s * 0.05, 0);
  pen(c, s * 1.2, 0);
  cairo_new_sub_path(c.cr());
  cairo_arc(c.cr(), x + s * 0.5, y + s * 0.52, s * 0.17, 0.2 * M_PI, 0.8 * M_PI);
  cairo_stroke(c.cr());
  end_cut(c);
}

void nudge(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  // A phone body between shake marks.
  begin_cut(c);
  c.fill_rounded(x + s * 0.36, y + s * 0.16, s * 0.28, s * 0.68, s * 0.06, rgb);
  cut(c);
  c.fill_rounded(x + s * 0.40, y + s * 0.24, s * 0.20, s * 0.44, s * 0.02, 0);
  end_cut(c);
  pen(c, s, rgb);
  for (int side = -1; side <= 1; side += 2) {
    const double bx = x + s * 0.5 + side * s * 0.24;
    line(c, bx, y + s * 0.34, bx, y + s * 0.66);
    const double cx = x + s * 0.5 + side * s * 0.36;
    line(c, cx, y + s * 0.40, cx, y + s * 0.60);
  }
}

void history(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  cairo_t* cr = c.cr();
  pen(c, s * 1.2, rgb);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + s * 0.52, y + s * 0.5, s * 0.32, M_PI * 0.95, M_PI * 2.75);
  cairo_stroke(cr);
  // Arrow head at the open end.
  cairo_move_to(cr, x + s * 0.09, y + s * 0.44);
  cairo_line_to(cr, x + s * 0.29, y + s * 0.44);
  cairo_line_to(cr, x + s * 0.19, y + s * 0.62);
  cairo_close_path(cr);
  c.colour(rgb);
  cairo_fill(cr);
  pen(c, s * 1.2, rgb);
  cairo_move_to(cr, x + s * 0.52, y + s * 0.32);
  cairo_line_to(cr, x + s * 0.52, y + s * 0.5);
  cairo_line_to(cr, x + s * 0.66, y + s * 0.58);
  cairo_stroke(cr);
}

void arrow(const Canvas& c, double x, double y, double s, uint32_t rgb, bool right) {
  const double d = right ? 1 : -1, cx = x + s * 0.5;
  pen(c, s * 1.6, rgb);
  line(c, cx - d * s * 0.28, y + s * 0.5, cx + d * s * 0.26, y + s * 0.5);
  cairo_move_to(c.cr(), cx + d * s * 0.04, y + s * 0.28);
  cairo_line_to(c.cr(), cx + d * s * 0.28, y + s * 0.5);
  cairo_line_to(c.cr(), cx + d * s * 0.04, y + s * 0.72);
  cairo_stroke(c.cr());
}

void triangle(const Canvas& c, double x, double y, double s, uint32_t rgb, bool down) {
  cairo_t* cr = c.cr();
  if (down) {
    cairo_move_to(cr, x + s * 0.2, y + s * 0.32);
    cairo_line_to(cr, x + s * 0.8, y + s * 0.32);
    cairo_line_to(cr, x + s * 0.5, y + s * 0.74);
  } else {
    cairo_move_to(cr, x + s * 0.3, y + s * 0.2);
    cairo_line_to(cr, x + s * 0.74, y + s * 0.5);
    cairo_line_to(cr, x + s * 0.3, y + s * 0.8);
  }
  cairo_close_path(cr);
  c.colour(rgb);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr, s * 0.08);
  cairo_fill_preserve(cr);
  cairo_stroke(cr);
}

void folder(const Canvas& c, double x, double y, double s, uint32_t body, uint32_t tab) {
  c.fill_rounded(x + s * 0.08, y + s * 0.2, s * 0.38, s * 0.2, s * 0.06, tab);
  c.fill_rounded(x + s * 0.08, y + s * 0.28, s * 0.84, s * 0.56, s * 0.07, darken(tab, 0.05));
  c.rounded(x + s * 0.08, y + s * 0.36, s * 0.84, s * 0.48, s * 0.07);
  c.fill_path_vertical(y + s * 0.36, y + s * 0.84, lighten(body, 0.25), body);
  cairo_move_to(c.cr(), x + s * 0.12, y + s * 0.395);
  cairo_line_to(c.cr(), x + s * 0.88, y + s * 0.395);
  c.colour(0xFFFFFF, 0.45);
  cairo_set_line_width(c.cr(), 1);
  cairo_stroke(c.cr());
}

void picture(const Canvas& c, double x, double y, double s, uint32_t frame, uint32_t sky) {
  cairo_t* cr = c.cr();
  c.fill_rounded(x + s * 0.1, y + s * 0.16, s * 0.8, s * 0.68, s * 0.08, frame);
  c.rounded(x + s * 0.16, y + s * 0.22, s * 0.68, s * 0.56, s * 0.04);
  c.fill_path_vertical(y + s * 0.22, y + s * 0.78, lighten(sky, 0.4), sky);
  c.disc(x + s * 0.66, y + s * 0.36, s * 0.07, 0xFFE27A);
  cairo_move_to(cr, x + s * 0.16, y + s * 0.78);
  cairo_line_to(cr, x + s * 0.38, y + s * 0.46);
  cairo_line_to(cr, x + s * 0.54, y + s * 0.66);
  cairo_line_to(cr, x + s * 0.64, y + s * 0.56);
  cairo_line_to(cr, x + s * 0.84, y + s * 0.78);
  cairo_close_path(cr);
  c.colour(0x2F8F5B);
  cairo_fill(cr);
}

void book(const Canvas& c, double x, double y, double s, uint32_t rgb) {
  c.fill_rounded(x + s * 0.2, y + s * 0.1, s * 0.62, s * 0.8, s * 0.07, rgb);
  c.fill_rounded(x + s * 0.2, y + s * 0.1, s * 0.1, s * 0.8, s * 0.04, darken(rgb, 0.25));
  person(c, x + s * 0.38, y + s * 0.24, s * 0.36, 0xFFFFFF, 0.9);  // on its own cover, white reads
  for (int i = 0; i < 3; ++i)
    c.fill_rounded(x + s * 0.8, y + s * (0.2 + i * 0.22), s * 0.08, s * 0.12, s * 0.02,
                   lighten(rgb, 0.3));
}

void badge(const Canvas& c, double cx, double cy, double radius, uint32_t fill) {
  c.disc(cx, cy, radius + 2, 0xFFFFFF);
  cairo_new_sub_path(c.cr());
  cairo_arc(c.cr(), cx, cy, radius, 0, 2 * M_PI);
  c.fill_path_vertical(cy - radius, cy + radius, lighten(fill, 0.2), darken(fill, 0.1));
}

}  // namespace tavrin::tools::icons
