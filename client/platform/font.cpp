// FreeType behind Font. Faces come from the Debian CJK font packages; the
// face index inside a collection is picked by family name so that the
// Simplified Chinese variant is used. A character the face lacks is taken
// from the colour emoji face when that has it, scaled to the font's height.
#include "platform/font.h"

#include <ft2build.h>

#include "platform/text_probe.h"
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>

namespace tavrin::platform {
namespace {

struct Candidate {
  const char* file;
  const char* family;  // the face inside a collection; null: face 0
};

// Searched in order below each font root; the first file that opens wins.
const Candidate kSans[] = {
    {"truetype/wqy/wqy-zenhei.ttc", "WenQuanYi Zen Hei"},
    {"opentype/noto/NotoSansCJK-Regular.ttc", "Noto Sans CJK SC"},
};
const Candidate kSerif[] = {
    {"opentype/noto/NotoSerifCJK-Regular.ttc", "Noto Serif CJK SC"},
    {"truetype/wqy/wqy-zenhei.ttc", "WenQuanYi Zen Hei"},
    {"opentype/noto/NotoSansCJK-Regular.ttc", "Noto Sans CJK SC"},
};

std::vector<std::filesystem::path> font_roots() {
  std::vector<std::filesystem::path> roots;
  if (const char* env = std::getenv("TAVRIN_FONT_DIR"); env && *env) roots.emplace_back(env);
  roots.emplace_back("/usr/share/fonts");
  roots.emplace_back("/usr/local/share/fonts");
  return roots;
}

std::mutex g_ft_mutex;           // guards the library, every face and every cache
FT_Library g_library = nullptr;  // guarded by g_ft_mutex

struct Face {
  FT_Face face = nullptr;
};
std::map<bool, Face> g_faces;  // by serif flag; guarded by g_ft_mutex

FT_Face open_face(bool serif) {
  auto it = g_faces.find(serif);
  if (it != g_faces.end()) return it->second.face;
  FT_Face result = nullptr;
  if (!g_library && FT_Init_FreeType(&g_library) != 0) g_library = nullptr;
  if (g_library) {
    for (const auto& root : font_roots()) {
      for (const auto& c :
           serif ? std::span<const Candidate>(kSerif) : std::span<const Candidate>(kSans)) {
        const std::string path = (root / c.file).string();
        FT_Face probe = nullptr;
        if (FT_New_Face(g_library, path.c_str(), -1, &probe) != 0) continue;
        const FT_Long count = probe->num_faces;
        FT_Done_Face(probe);
        for (FT_Long i = 0; i < count && !result; ++i) {
          FT_Face f = nullptr;
          if (FT_New_Face(g_library, path.c_str(), i, &f) != 0) continue;
          if (c.family == nullptr || (f->family_name && std::string(f->family_name) == c.family))
            result = f;
          else
            FT_Done_Face(f);
        }
        if (result) break;
      }
      if (result) break;
    }
  }
  g_faces[serif] = {result};
  return result;
}

FT_Face g_emoji = nullptr;   // guarded by g_ft_mutex
bool g_emoji_tried = false;  // guarded by g_ft_mutex

// The colour emoji face (a bitmap font with one fixed size), or null.
FT_Face emoji_face() {
  if (g_emoji_tried) return g_emoji;
  g_emoji_tried = true;
  if (!g_library) return nullptr;
  for (const auto& root : font_roots()) {
    const std::string path = (root / "truetype/noto/NotoColorEmoji.ttf").string();
    FT_Face f = nullptr;
    if (FT_New_Face(g_library, path.c_str(), 0, &f) != 0) continue;
    if (FT_HAS_COLOR(f) && f->num_fixed_sizes > 0 && FT_Select_Size(f, 0) == 0) {
      g_emoji = f;
      break;
    }
    FT_Done_Face(f);
  }
  return g_emoji;
}

// A code point asked for as a colour picture (followed by U+FE0F): from the
// colour face even where the text face has a plain glyph for it (♥, ☀).
constexpr char32_t kEmojiStyle = 0x40000000;

// Marks that join or vary emoji and take no room of their own.
bool zero_width(char32_t cp) {
  return cp == 0x200D || (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0020 && cp <= 0xE007F);
}

// An emoji from the colour face, box-filtered down to the font's height.
bool load_emoji(FT_Face emoji, char32_t cp, int height, int ascent, Font::Glyph& g) {
  if (!emoji || FT_Get_Char_Index(emoji, cp) == 0) return false;
  if (FT_Load_Char(emoji, cp, FT_LOAD_COLOR) != 0) return false;
  const FT_GlyphSlot s = emoji->glyph;
  if (s->bitmap.pixel_mode != FT_PIXEL_MODE_BGRA || s->bitmap.rows == 0) return false;
  const int sw = int(s->bitmap.width), sh = int(s->bitmap.rows);
  const int size = std::max(1, height - 2);
  const int w = std::max(1, sw * size / sh), h = size;
  g.width = w;
  g.rows = h;
  g.left = 1;
  g.top = ascent - 1 - (height - 2 - h) / 2;
  g.advance = w + 2;
  g.colour.assign(size_t(w) * size_t(h), 0);
  g.coverage.assign(size_t(w) * size_t(h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      // The source pixels this one covers, averaged (premultiplied BGRA).
      const int x0 = x * sw / w, x1 = std::max(x0 + 1, (x + 1) * sw / w);
      const int y0 = y * sh / h, y1 = std::max(y0 + 1, (y + 1) * sh / h);
      unsigned sum[4] = {0, 0, 0, 0}, n = 0;
      for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx, ++n) {
          const uint8_t* p = s->bitmap.buffer + yy * s->bitmap.pitch + xx * 4;
          for (int k = 0; k < 4; ++k) sum[k] += p[k];
        }
      const uint32_t b = sum[0] / n, gr = sum[1] / n, r = sum[2] / n, a = sum[3] / n;
      g.colour[size_t(y) * size_t(w) + size_t(x)] = (a << 24) | (r << 16) | (gr << 8) | b;
      g.coverage[size_t(y) * size_t(w) + size_t(x)] = uint8_t(a);
    }
  return true;
}

}  // namespace

using Glyph = Font::Glyph;

namespace {
// One laid-out line: its code points and their width.
struct TextLine {
  std::u32string cps;
  int width = 0;
  bool wrapped = false;  // begun by a wrap, not by the text's own line break
};

}  // namespace

struct Font::Impl {
  FT_Face face = nullptr;
  int height = 0;
  int ascent = 0;
  int avg_width = 0;
  std::unordered_map<char32_t, Glyph> glyphs;  // guarded by g_ft_mutex

  const Glyph& glyph(char32_t cp) {
    auto it = glyphs.find(cp);
    if (it != glyphs.end()) return it->second;
    Glyph g;
    if (cp & kEmojiStyle) {
      if (!load_emoji(emoji_face(), cp & ~kEmojiStyle, height, ascent, g))
        g = glyph(cp & ~kEmojiStyle);
      return glyphs.emplace(cp, std::move(g)).first->second;
    }
    if (zero_width(cp)) return glyphs.emplace(cp, std::move(g)).first->second;
    if (FT_Get_Char_Index(face, cp) == 0 && load_emoji(emoji_face(), cp, height, ascent, g))
      return glyphs.emplace(cp, std::move(g)).first->second;
    // The face is shared between heights: set ours before every load.
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(height));
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0) {
      const FT_GlyphSlot s = face->glyph;
      g.left = s->bitmap_left;
      g.top = s->bitmap_top;
      g.width = int(s->bitmap.width);
      g.rows = int(s->bitmap.rows);
      g.advance = int((s->advance.x + 32) >> 6);
      g.coverage.resize(size_t(g.width) * size_t(g.rows));
      for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x)
          g.coverage[size_t(y) * size_t(g.width) + size_t(x)] =
              s->bitmap.buffer[y * s->bitmap.pitch + x];
    }
    return glyphs.emplace(cp, std::move(g)).first->second;
  }

  // The lines text makes in max_width with the layout flags.
  std::vector<TextLine> lines(std::u16string_view text, int max_width, unsigned flags);
};

namespace {

std::map<std::pair<bool, int>, std::shared_ptr<Font::Impl>> g_sizes;  // guarded by g_ft_mutex

// The next code point; one the emoji selector U+FE0F follows comes with
// kEmojiStyle and takes the selector along.
char32_t next_cp(std::u16string_view t, size_t& i) {
  char32_t c = t[i++];
  if (c >= 0xD800 && c <= 0xDBFF && i < t.size() && t[i] >= 0xDC00 && t[i] <= 0xDFFF)
    c = 0x10000 + ((c - 0xD800) << 10) + (t[i++] - 0xDC00);
  if (i < t.size() && t[i] == 0xFE0F && c != 0xFE0F) {
    ++i;
    c |= kEmojiStyle;
  }
  return c;
}

void blend(uint16_t& px, uint16_t colour, unsigned cov) {
  if (cov == 0) return;
  if (cov >= 255) {
    px = colour;
    return;
  }
  const int r0 = px >> 11, g0 = (px >> 5) & 63, b0 = px & 31;
  const int r1 = colour >> 11, g1 = (colour >> 5) & 63, b1 = colour & 31;
  const int r = r0 + (r1 - r0) * int(cov) / 255;
  const int g = g0 + (g1 - g0) * int(cov) / 255;
  const int b = b0 + (b1 - b0) * int(cov) / 255;
  px = uint16_t((r << 11) | (g << 5) | b);
}

// A premultiplied 0xAARRGGBB pixel over an RGB565 one.
void blend_premultiplied(uint16_t& px, uint32_t argb) {
  const unsigned a = argb >> 24;
  if (a == 0) return;
  const unsigned r0 = (px >> 11) * 255 / 31, g0 = ((px >> 5) & 63) * 255 / 63,
                 b0 = (px & 31) * 255 / 31;
  const unsigned r = std::min(255u, ((argb >> 16) & 255) + r0 * (255 - a) / 255);
  const unsigned g = std::min(255u, ((argb >> 8) & 255) + g0 * (255 - a) / 255);
  const unsigned b = std::min(255u, (argb & 255) + b0 * (255 - a) / 255);
  px =
      uint16_t(((r * 31 + 127) / 255) << 11 | ((g * 63 + 127) / 255) << 5 | ((b * 31 + 127) / 255));
}

}  // namespace

std::optional<Font> Font::make(std::u16string_view name, int height) {
  if (height <= 0 || height > 512) return std::nullopt;
  const bool serif = name == u"宋体";
  std::lock_guard lock(g_ft_mutex);
  auto& slot = g_sizes[{serif, height}];
  if (!slot) {
    FT_Face face = open_face(serif);
    if (!face) return std::nullopt;
    auto impl = std::make_shared<Impl>();
    impl->face = face;
    impl->height = height;
    // Most of the cell above the baseline, as CJK faces sit in the em box.
    impl->ascent = (height * 7 + 4) / 8;
    // The edit controls count a character below 128 as one average width
    // and any other as two: half the advance of a CJK character.
    impl->avg_width = std::max(1, (impl->glyph(U'一').advance + 1) / 2);
    slot = std::move(impl);
  }
  return Font(slot);
}

const Font::Glyph* Font::glyph(char32_t ch) const {
  std::lock_guard lock(g_ft_mutex);
  if (FT_Get_Char_Index(impl_->face, ch) == 0 && !zero_width(ch)) {
    FT_Face emoji = emoji_face();
    if (!emoji || FT_Get_Char_Index(emoji, ch) == 0) return nullptr;
  }
  return &impl_->glyph(ch);
}

int Font::height() const {
  return impl_->height;
}
int Font::ascent() const {
  return impl_->ascent;
}
int Font::average_char_width() const {
  return impl_->avg_width;
}

int Font::text_width(std::u16string_view text) const {
  std::lock_guard lock(g_ft_mutex);
  int w = 0;
  for (size_t i = 0; i < text.size();) w += impl_->glyph(next_cp(text, i)).advance;
  return w;
}

std::vector<int> Font::extents(std::u16string_view text) const {
  std::lock_guard lock(g_ft_mutex);
  std::vector<int> out(text.size());
  int w = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    w += impl_->glyph(next_cp(text, i)).advance;
    for (size_t k = start; k < i; ++k) out[k] = w;
  }
  return out;
}

namespace {

bool word_char(char32_t c) {
  return (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z');
}

bool is_digit(char32_t c) {
  return (c >= U'0' && c <= U'9') || (c >= U'０' && c <= U'９');
}

// Marks that close a phrase: they stay with what they close, never begin a line.
bool closing_mark(char32_t c) {
  static constexpr std::u32string_view kMarks =
      U"!),.:;?]}%、。，．：；？！）］｝》〉」』】〕”’…‰·～";
  return kMarks.find(c) != std::u32string_view::npos;
}

// Marks that open a phrase: they stay with what they open, never end a line.
bool opening_mark(char32_t c) {
  static constexpr std::u32string_view kMarks = U"([{（［｛《〈「『【〔“‘￥$";
  return kMarks.find(c) != std::u32string_view::npos;
}

// Whether a wrap may fall between a and b: not inside a number or a Latin
// word, not between a number and its unit ("5秒", "1/1"), not before a
// closing mark, not after an opening one.
bool may_break_between(char32_t a, char32_t b) {
  if (closing_mark(b) || opening_mark(a)) return false;
  if (word_char(a) && word_char(b)) return false;  // a Latin word goes down whole
  if (is_digit(a) && b != U' ' && !opening_mark(b)) return false;
  if (is_digit(b) &&
      (is_digit(a) || std::u32string_view(U"/.:-,+").find(a) != std::u32string_view::npos))
    return false;
  return true;
}

// The inked part of a glyph (coverage of at least 1/8), relative to its bitmap.
Rect ink_of(const Glyph& g) {
  Rect r{g.width, g.rows, 0, 0};
  for (int y = 0; y < g.rows; ++y)
    for (int x = 0; x < g.width; ++x)
      if (g.coverage[size_t(y) * size_t(g.width) + size_t(x)] >= 32)
        r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
             std::max(r.bottom, y + 1)};
  return r;
}

Rect unite(const Rect& a, const Rect& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

// Reports a text about to be drawn to the probe's sink: its lines with
// their ink, and the most frequent pixel under that ink.
template <typename LineX>
void probe(const text_probe::Sink& sink, Font::Impl& f, const PixelBuffer565& target,
           std::u16string_view text, const Rect& rect, const Rect& clip, uint32_t colour,
           unsigned flags, const std::vector<TextLine>& lines, int top, const LineX& line_x) {
  text_probe::Drawn d;
  d.text = text;
  d.rect = rect;
  d.target = clip;
  d.colour = colour;
  d.flags = flags;
  d.height = f.height;
  int y = top;
  Rect all;
  for (const TextLine& line : lines) {
    text_probe::Line out;
    out.wrapped = line.wrapped;
    int x = line_x(line);
    const int baseline = y + f.ascent;
    for (char32_t cp : line.cps) {
      const char32_t plain = cp & ~kEmojiStyle;
      if (plain < 0x10000) {
        out.text.push_back(char16_t(plain));
      } else {
        out.text.push_back(char16_t(0xD800 + ((plain - 0x10000) >> 10)));
        out.text.push_back(char16_t(0xDC00 + ((plain - 0x10000) & 0x3FF)));
      }
      if (cp & kEmojiStyle) out.text.push_back(u'\uFE0F');
      const Glyph& g = f.glyph(cp);
      if (plain > U' ' && !zero_width(plain) && FT_Get_Char_Index(f.face, plain) == 0 &&
          g.colour.empty())
        out.missing_glyph = true;
      const Rect ink = ink_of(g);
      if (!ink.empty()) out.ink = unite(out.ink, ink.offset(x + g.left, baseline - g.top));
      x += g.advance;
    }
    all = unite(all, out.ink);
    d.lines.push_back(std::move(out));
    y += f.height;
  }
  const Rect under = all.intersect(clip).intersect({0, 0, target.width, target.height});
  if (!under.empty()) {
    std::unordered_map<uint16_t, int> counts;
    for (int py = under.top; py < under.bottom; ++py)
      for (int px = under.left; px < under.right; ++px)
        ++counts[target.pixels[size_t(py) * size_t(target.stride) + size_t(px)]];
    int best = -1;
    const int total = under.width() * under.height();
    double dark = 2, light = -1;
    const auto lum = [](uint16_t px) {  // relative luminance
      const auto lin = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
      };
      return 0.2126 * lin((px >> 11) / 31.0) + 0.7152 * lin(((px >> 5) & 63) / 63.0) +
             0.0722 * lin((px & 31) / 31.0);
    };
    for (const auto& [pixel, n] : counts) {
      if (n > best || (n == best && pixel < d.background)) {
        best = n;
        d.background = pixel;
      }
      if (n * 50 < total) continue;
      if (lum(pixel) < dark) dark = lum(pixel), d.darkest = pixel;
      if (lum(pixel) > light) light = lum(pixel), d.lightest = pixel;
    }
    if (light < 0) d.darkest = d.lightest = d.background;
    d.has_background = true;
  }
  sink(d);
}

}  // namespace

std::vector<TextLine> Font::Impl::lines(std::u16string_view text, int max_width, unsigned flags) {
  std::vector<TextLine> lines(1);
  const bool single = flags & text::kSingleLine;
  for (size_t i = 0; i < text.size();) {
    char32_t cp = next_cp(text, i);
    if (!single && (cp == U'\r' || cp == U'\n')) {
      if (cp == U'\r' && i < text.size() && text[i] == u'\n') ++i;
      lines.emplace_back();
      continue;
    }
    if (cp == U'\r' || cp == U'\n') cp = U' ';
    const int adv = glyph(cp).advance;
    TextLine& line = lines.back();
    if (!single && (flags & text::kWordBreak) && !line.cps.empty() &&
        line.width + adv > max_width) {
      TextLine next;
      next.wrapped = true;
      if (cp == U' ') {  // a space that does not fit ends the line, and goes
        lines.push_back(std::move(next));
        continue;
      }
      // Break at the last place a break may fall: after a space (which
      // goes), or between two characters that allow it, as Chinese ones do.
      // A line of nothing but places a break may not fall is broken where
      // it is full.
      size_t k = line.cps.size();
      while (k > 0 && !may_break_between(line.cps[k - 1], k < line.cps.size() ? line.cps[k] : cp))
        --k;
      const size_t space = line.cps.rfind(U' ');
      const bool after_space =
          space != std::u32string::npos && space + 1 < line.cps.size() && k <= space + 1;
      size_t at = line.cps.size();
      if (after_space)
        at = space + 1;
      else if (k > 0)
        at = k;
      if (at < line.cps.size()) {
        next.cps = line.cps.substr(at);
        line.cps.resize(after_space ? space : at);
        line.width = 0;
        for (char32_t c : line.cps) line.width += glyph(c).advance;
        for (char32_t c : next.cps) next.width += glyph(c).advance;
      }
      lines.push_back(std::move(next));
    }
    lines.back().cps.push_back(cp);
    lines.back().width += adv;
  }
  if (single && (flags & text::kEndEllipsis) && lines.back().width > max_width) {
    // Whole characters go until the rest and the ellipsis fit.
    TextLine& line = lines.back();
    const int dots = glyph(U'…').advance;
    while (!line.cps.empty() && line.width + dots > max_width) {
      line.width -= glyph(line.cps.back()).advance;
      line.cps.pop_back();
    }
    // Nothing at all where not even the ellipsis fits.
    if (dots <= max_width) {
      line.cps.push_back(U'…');
      line.width += dots;
    }
  }
  return lines;
}

int Font::text_height(std::u16string_view text, int width, unsigned flags) const {
  std::lock_guard lock(g_ft_mutex);
  return int(impl_->lines(text, width, flags).size()) * impl_->height;
}

std::u16string Font::fitted(std::u16string_view text, int width) const {
  std::lock_guard lock(g_ft_mutex);
  const std::vector<TextLine> lines =
      impl_->lines(text, width, text::kSingleLine | text::kEndEllipsis);
  std::u16string out;
  for (char32_t c : lines.front().cps) {
    const bool emoji_style = c & kEmojiStyle;
    c &= ~kEmojiStyle;
    if (c >= 0x10000) {
      out += char16_t(0xD800 + ((c - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += char16_t(c);
    }
    if (emoji_style) out += char16_t(0xFE0F);
  }
  return out;
}

int Font::draw(PixelBuffer565& target, std::u16string_view text, Rect rect, uint32_t colour,
               unsigned flags) const {
  std::lock_guard lock(g_ft_mutex);
  Impl& f = *impl_;
  const bool single = flags & text::kSingleLine;
  const std::vector<TextLine> lines = f.lines(text, rect.width(), flags);
  const int total = int(lines.size()) * f.height;
  int y = rect.top;
  if (single && (flags & text::kVCenter))
    y = rect.top + (rect.height() - f.height) / 2;
  else if (single && (flags & text::kBottom))
    y = rect.bottom - f.height;
  Rect clip = Rect{0, 0, target.width, target.height};
  if (!(flags & text::kNoClip)) clip = clip.intersect(rect);
  const auto line_x = [&](const TextLine& line) {
    if (flags & text::kCenter) return rect.left + (rect.width() - line.width) / 2;
    if (flags & text::kRight) return rect.right - line.width;
    return rect.left;
  };
  if (const text_probe::Sink* sink = text_probe::sink())
    probe(*sink, f, target, text, rect, clip, colour, flags, lines, y, line_x);
  const uint16_t c565 = bgr_to_565(colour);
  for (const TextLine& line : lines) {
    int x = line_x(line);
    const int baseline = y + f.ascent;
    for (char32_t cp : line.cps) {
      const Glyph& g = f.glyph(cp);
      for (int gy = 0; gy < g.rows; ++gy) {
        const int py = baseline - g.top + gy;
        if (py < clip.top || py >= clip.bottom) continue;
        uint16_t* row = target.pixels + size_t(py) * size_t(target.stride);
        for (int gx = 0; gx < g.width; ++gx) {
          const int px = x + g.left + gx;
          if (px < clip.left || px >= clip.right) continue;
          const size_t at = size_t(gy) * size_t(g.width) + size_t(gx);
          if (g.colour.empty())
            blend(row[px], c565, g.coverage[at]);
          else
            blend_premultiplied(row[px], g.colour[at]);
        }
      }
      x += g.advance;
    }
    y += f.height;
  }
  return total;
}

namespace text_probe {
namespace {
Sink g_sink;  // UI thread only, as drawing
}  // namespace

void set_sink(Sink sink) {
  g_sink = std::move(sink);
}
const Sink* sink() {
  return g_sink ? &g_sink : nullptr;
}
}  // namespace text_probe

}  // namespace tavrin::platform
