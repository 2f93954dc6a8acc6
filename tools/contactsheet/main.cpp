// tavrin_contactsheet: one PNG showing every image the build made (install
// folder images of the manifest, each theme package's images, the font
// sample), labelled with name and size, on a checkerboard so transparency
// shows. For people reviewing the skin; nothing loads it.
//   tavrin_contactsheet --manifest FILE --out INSTALL_DIR --stage DIR --sheet PNG [--extra PNG]...
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "manifest.h"

namespace {

using tavrin::tools::Manifest;

struct Tile {
  std::string label;
  std::string file;
};

constexpr int kSheetWidth = 1500;
constexpr int kPad = 14;
constexpr int kLabel = 30;

double scale_for(int w, int h) {
  if (w <= 48 && h <= 48) return 2.0;  // small icons, enlarged to judge them
  return std::min({1.0, 400.0 / h, 720.0 / w});
}

void checker(cairo_t* cr, double x, double y, double w, double h) {
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  for (int j = 0; j * 8 < h; ++j)
    for (int i = 0; i * 8 < w; ++i) {
      const double v = (i + j) % 2 ? 0.80 : 0.92;
      cairo_set_source_rgb(cr, v, v, v);
      cairo_rectangle(cr, x + i * 8, y + j * 8, 8, 8);
      cairo_fill(cr);
    }
  cairo_restore(cr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string manifest_path, out, stage, sheet;
  std::vector<std::string> extras;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string k = argv[i];
    if (k == "--manifest")
      manifest_path = argv[i + 1];
    else if (k == "--out")
      out = argv[i + 1];
    else if (k == "--stage")
      stage = argv[i + 1];
    else if (k == "--sheet")
      sheet = argv[i + 1];
    else if (k == "--extra")
      extras.push_back(argv[i + 1]);
  }
  if (manifest_path.empty() || out.empty() || stage.empty() || sheet.empty()) {
    std::fprintf(stderr,
                 "usage: %s --manifest FILE --out DIR --stage DIR --sheet PNG [--extra PNG]...\n",
                 argv[0]);
    return 2;
  }
  try {
    const Manifest m = Manifest::load(manifest_path);
    std::vector<Tile> tiles;
    for (const auto& img : m.images) tiles.push_back({img.path, out + "/" + img.path});
    for (const std::string& theme : m.themes)
      for (const auto& e : m.cab_entries)
        if (e.width > 0) {
          const std::string rel = Manifest::for_theme(e.path, theme);
          tiles.push_back({"Theme.cab of " + theme + ": " + rel, stage + "/" + theme + "/" + rel});
        }
    for (const std::string& e : extras) tiles.push_back({e.substr(e.find_last_of('/') + 1), e});

    // Lay out in rows, then draw.
    struct Placed {
      cairo_surface_t* img;
      std::string label;
      double x, y, scale;
    };
    std::vector<Placed> placed;
    double x = kPad, y = kPad, row_h = 0;
    for (const Tile& t : tiles) {
      cairo_surface_t* img = cairo_image_surface_create_from_png(t.file.c_str());
      if (cairo_surface_status(img) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "tavrin_contactsheet: cannot read %s\n", t.file.c_str());
        cairo_surface_destroy(img);
        return 1;
      }
      const int w = cairo_image_surface_get_width(img), h = cairo_image_surface_get_height(img);
      const double s = scale_for(w, h);
      const double tw = std::max(w * s, 170.0), th = h * s + kLabel;
      if (x + tw > kSheetWidth - kPad) {
        x = kPad;
        y += row_h + kPad;
        row_h = 0;
      }
      placed.push_back(
          {img, t.label + "  " + std::to_string(w) + "x" + std::to_string(h), x, y, s});
      x += tw + kPad;
      row_h = std::max(row_h, th);
    }
    const int height = static_cast<int>(y + row_h + kPad);
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSheetWidth, height);
    cairo_t* cr = cairo_create(surf);
    cairo_set_source_rgb(cr, 0.16, 0.17, 0.19);
    cairo_paint(cr);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    for (const Placed& p : placed) {
      const int w = cairo_image_surface_get_width(p.img), h = cairo_image_surface_get_height(p.img);
      checker(cr, p.x, p.y, w * p.scale, h * p.scale);
      cairo_save(cr);
      cairo_translate(cr, p.x, p.y);
      cairo_scale(cr, p.scale, p.scale);
      cairo_set_source_surface(cr, p.img, 0, 0);
      if (p.scale > 1) cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
      cairo_paint(cr);
      cairo_restore(cr);
      cairo_set_source_rgb(cr, 0.85, 0.87, 0.9);
      const std::string slash = p.label;
      const auto cut = slash.rfind('/');
      cairo_move_to(cr, p.x, p.y + h * p.scale + 13);
      cairo_show_text(cr, (cut == std::string::npos ? slash : slash.substr(0, cut + 1)).c_str());
      if (cut != std::string::npos) {
        cairo_move_to(cr, p.x, p.y + h * p.scale + 26);
        cairo_show_text(cr, slash.substr(cut + 1).c_str());
      }
      cairo_surface_destroy(p.img);
    }
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surf, sheet.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surf);
    if (!ok) {
      std::fprintf(stderr, "tavrin_contactsheet: cannot write %s\n", sheet.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin_contactsheet: %s\n", e.what());
    return 1;
  }
  return 0;
}
