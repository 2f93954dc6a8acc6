#include "gfx/TextPainter.h"

#include <algorithm>
#include <vector>

namespace tavrin::gfx {
namespace {

std::vector<char32_t> decode_utf16(std::u16string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const char32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      out.push_back(0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool is_control(char32_t c) {
  return c == u'\r' || c == u'\n';
}

// Ideographs and full-width forms may break before and after themselves.
bool breaks_anywhere(char32_t c) {
  return c >= 0x2E80;
}

int advance(const PlatformFont& font, char32_t c) {
  if (is_control(c)) return 0;
  const GlyphBitmap* g = font.glyph(c);
  return g ? g->advance : 0;
}

struct Line {
  size_t begin, end;
  int width;
};

std::vector<Line> lay_out(const PlatformFont& font, const std::vector<char32_t>& text,
                          int max_width, unsigned flags) {
  std::vector<Line> lines;
  if (flags & kTextSingleLine) {
    int w = 0;
    for (char32_t c : text) w += advance(font, c);
    lines.push_back({0, text.size(), w});
    return lines;
  }
  const bool wrap = flags & kTextWordBreak;
  size_t begin = 0, i = 0;
  int width = 0;
  size_t last_break = 0;  // end of the line if we break at the last opportunity
  int width_at_break = 0;
  while (i < text.size()) {
    const char32_t c = text[i];
    if (c == u'\n') {
      lines.push_back({begin, i, width});
      begin = ++i;
      width = 0;
      last_break = 0;
      continue;
    }
    const int a = advance(font, c);
    if (wrap && width + a > max_width && i > begin) {
      size_t cut = i;
      if (breaks_anywhere(c) || c == u' ') {
        cut = i;
      } else if (last_break > begin) {
        cut = last_break;
      }
      const int w = cut == i ? width : width_at_break;
      lines.push_back({begin, cut, w});
      begin = cut;
      while (begin < text.size() && text[begin] == u' ') ++begin;  // no leading blanks
      i = begin;
      width = 0;
      last_break = 0;
      continue;
    }
    width += a;
    ++i;
    if (c == u' ' || breaks_anywhere(c) || (i < text.size() && breaks_anywhere(text[i]))) {
      last_break = i;
      width_at_break = width;
    }
  }
  lines.push_back({begin, text.size(), width});
  return lines;
}

void blend_glyph(PixelCanvas& canvas, const GlyphBitmap& g, int x, int y, uint16_t colour,
                 const Rect& clip) {
  const int x0 = std::max(x, clip.left), x1 = std::min(x + g.width, clip.right);
  const int y0 = std::max(y, clip.top), y1 = std::min(y + g.height, clip.bottom);
  for (int py = y0; py < y1; ++py) {
    const uint8_t* cov = g.coverage.data() + size_t(py - y) * g.width;
    uint16_t* dst = canvas.row(py);
    for (int px = x0; px < x1; ++px)
      if (const uint8_t a = cov[px - x]) dst[px] = blend565(dst[px], colour, a);
  }
}

}  // namespace

int text_width(const PlatformFont& font, std::u16string_view text) {
  int w = 0;
  for (char32_t c : decode_utf16(text)) w += advance(font, c);
  return w;
}

int draw_text(PixelCanvas& canvas, const PlatformFont* font, std::u16string_view text,
              Colour colour, Rect& rect, unsigned flags) {
  if (!font) return 0;
  const std::vector<char32_t> chars = decode_utf16(text);
  const FontMetrics m = font->metrics();
  const std::vector<Line> lines = lay_out(*font, chars, rect.width(), flags);
  const int line_height = std::max(m.line_height, 1);
  const int height = int(lines.size()) * line_height;
  if (flags & kTextCalcRect) {
    int widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    if (lines.size() == 1) rect.right = rect.left + widest;
    rect.bottom = rect.top + height;
    return height;
  }
  if (!canvas.valid()) return height;

  const Rect clip = (flags & kTextNoClip) ? canvas.bounds() : rect.intersect(canvas.bounds());
  int y = rect.top;
  if (flags & kTextSingleLine) {
    if (flags & kTextVCenter)
      y = rect.top + (rect.height() - line_height) / 2;
    else if (flags & kTextBottom)
      y = rect.bottom - line_height;
  }
  const uint16_t px = to_rgb565(colour);
  for (const Line& l : lines) {
    int x = rect.left;
    if (flags & kTextCenter)
      x = rect.left + (rect.width() - l.width) / 2;
    else if (flags & kTextRight)
      x = rect.right - l.width;
    const int baseline = y + m.ascent;
    for (size_t i = l.begin; i < l.end; ++i) {
      if (is_control(chars[i])) continue;
      const GlyphBitmap* g = font->glyph(chars[i]);
      if (!g) continue;
      if (!clip.empty() && g->width > 0 && g->height > 0 &&
          g->coverage.size() >= size_t(g->width) * size_t(g->height))
        blend_glyph(canvas, *g, x + g->left, baseline - g->top, px, clip);
      x += g->advance;
    }
    y += line_height;
  }
  return height;
}

int draw_text(PixelCanvas& canvas, const PlatformFont* font, std::u16string_view text,
              Colour colour, const Rect& rect, unsigned flags) {
  Rect r = rect;
  return draw_text(canvas, font, text, colour, r, flags & ~unsigned(kTextCalcRect));
}

}  // namespace tavrin::gfx
