#include "sample_sheet.h"

#include <cairo.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>

#include "gfx/BitmapFontMetrics.h"
#include "glyph_cell.h"

namespace tavrin::tools {
namespace {

constexpr int kScale = 3;
constexpr int kLineWidth = 460;  // a typical text rectangle of a screen
constexpr int kMargin = 10;

std::string to_gb2312(const std::string& utf8) {
  iconv_t cd = iconv_open("GB2312", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  char* o = out.data();
  size_t inleft = utf8.size(), outleft = out.size();
  iconv(cd, &in, &inleft, &o, &outleft);
  iconv_close(cd);
  out.resize(out.size() - outleft);
  return out;
}

class Plotter {
 public:
  Plotter(unsigned char* data, int stride, int width, int height)
      : data_(data), stride_(stride), width_(width), height_(height) {}
  void glyph(const std::vector<unsigned char>& font, int n, int x, int y) {
    if (n < 0 || static_cast<size_t>(n + 1) * kBytesPerGlyph > font.size()) return;
    GlyphCell cell;
    std::memcpy(cell.bytes.data(), font.data() + static_cast<size_t>(n) * kBytesPerGlyph,
                kBytesPerGlyph);
    for (int gy = 0; gy < kCellSize; ++gy)
      for (int gx = 0; gx < kCellSize; ++gx)
        if (cell.get(gx, gy)) dot(x + gx, y + gy);
  }

 private:
  void dot(int x, int y) {
    for (int dy = 0; dy < kScale; ++dy)
      for (int dx = 0; dx < kScale; ++dx) {
        const int px = x * kScale + dx, py = y * kScale + dy;
        if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
        auto* p = reinterpret_cast<uint32_t*>(data_ + static_cast<long>(py) * stride_) + px;
        *p = 0xFF1F3042;
      }
  }
  unsigned char* data_;
  int stride_, width_, height_;
};

// The client's bitmap-text layout; returns the rows used.
int lay_out(Plotter& plot, const std::vector<unsigned char>& font, const std::string& gb, int left,
            int top) {
  int x = left, y = top;
  const int right = left + kLineWidth;
  for (size_t i = 0; i < gb.size() && i < 255; ++i) {
    const auto ch = static_cast<unsigned char>(gb[i]);
    if (ch & 0x80) {
      if (i + 1 >= gb.size()) break;
      const auto lo = static_cast<unsigned char>(gb[++i]);
      const int n = (ch - 0xA1) * 94 + (lo - 0xA1);
      if (n < 7445) plot.glyph(font, n, x, y);
      x += 20;
    } else if (ch == ' ') {
      x += 8;
    } else {
      const gfx::BitmapFontMetrics m = gfx::bitmap_font_metrics(ch);
      x += m.nudge_x;
      plot.glyph(font, ch + 155, x, y + m.nudge_y + gfx::bitmap_font_drop(ch));
      x += m.advance;
    }
    if (x + 20 > right) {
      x = left;
      y += 20;
    }
  }
  return (y - top) / 20 + 1;
}

}  // namespace

bool write_sample_sheet(const std::vector<unsigned char>& font,
                        const std::vector<std::string>& lines, const std::string& png_path) {
  const int w = (kLineWidth + 2 * kMargin) * kScale;
  const int h = (static_cast<int>(lines.size()) * 3 * 24 + 2 * kMargin) * kScale;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 0.97, 0.97, 0.95);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  Plotter plot(cairo_image_surface_get_data(s), cairo_image_surface_get_stride(s), w, h);
  int y = kMargin;
  for (const std::string& line : lines)
    y += lay_out(plot, font, to_gb2312(line), kMargin, y) * 20 + 4;
  cairo_surface_mark_dirty(s);
  cairo_surface_t* cropped = cairo_surface_create_for_rectangle(s, 0, 0, w, (y + kMargin) * kScale);
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, (y + kMargin) * kScale);
  cairo_t* c2 = cairo_create(out);
  cairo_set_source_surface(c2, cropped, 0, 0);
  cairo_paint(c2);
  cairo_destroy(c2);
  const bool ok = cairo_surface_write_to_png(out, png_path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(out);
  cairo_surface_destroy(cropped);
  cairo_surface_destroy(s);
  return ok;
}

}  // namespace tavrin::tools
