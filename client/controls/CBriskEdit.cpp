#include "controls/CBriskEdit.h"

#include <algorithm>

#include "controls/ShellBars.h"
#include "gfx/Fonts.h"
#include "gfx/Primitives.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

using namespace platform;

bool CBriskEdit::create(WindowId parent, Rect rect, size_t max_length, std::optional<Font> font,
                        int line_spacing) {
  font_ = font ? std::move(font) : gfx::make_font(24);
  const int font_h = font_ ? font_->height() : 24;
  average_ = font_ ? std::max(1, font_->average_char_width()) : 12;
  line_height_ = std::max(1, font_h + line_spacing);
  lines_per_view_ = std::max(1, rect.height() / line_height_);
  chars_per_line_ = std::max(1, rect.width() / average_);
  max_length_ = std::min(max_length, size_t(lines_per_view_) * size_t(chars_per_line_));
  return create_window(parent, rect, "CBriskEdit");
}

namespace {
bool is_high(char16_t c) {
  return c >= 0xD800 && c < 0xDC00;
}
bool is_low(char16_t c) {
  return c >= 0xDC00 && c < 0xE000;
}
// Part of a Latin word: kept together when lines wrap.
bool is_word_char(char16_t c) {
  return c > u' ' && c < 0x2000 && c != 0x3000;
}
// A surrogate pair starts at i.
bool is_pair(const std::u16string& s, size_t i) {
  return i + 1 < s.size() && is_high(s[i]) && is_low(s[i + 1]);
}
}  // namespace

int CBriskEdit::char_width(size_t i) const {
  return width_in(text_, i);
}

int CBriskEdit::width_in(const std::u16string& text, size_t i) const {
  const char16_t c = text[i];
  if (i > 0 && is_low(c) && is_high(text[i - 1])) return 0;
  if (c == u'\t') return average_;
  char32_t code = c;
  if (is_pair(text, i)) code = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  if (font_)
    if (const Font::Glyph* g = font_->glyph(code); g && g->advance > 0) return g->advance;
  // No such character in the face: the box it is drawn as.
  return c < 128 ? average_ : 2 * average_;
}

void CBriskEdit::set_text(std::u16string_view text) {
  text_ = std::u16string(text.substr(0, max_length_));
  caret_ = text_.size();
  repaint();
}

size_t CBriskEdit::insert_text(std::u16string_view text) {
  // As typing it would, one character at a time: what the box cannot take
  // (its length, its lines) stays out, and a pair goes whole or not at all.
  size_t taken = 0;
  for (size_t i = 0; i < text.size();) {
    const bool pair = text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() &&
                      text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
    const size_t n = pair ? 2 : 1;
    if (text_.size() + n > max_length_) break;
    const std::u16string piece(text.substr(i, n));
    const std::u16string shown = piece == u"\r" ? std::u16string(u"\n") : piece;
    if (piece == u"\n" && i > 0 && text[i - 1] == u'\r') {  // "\r\n" is one break
      ++i;
      continue;
    }
    text_.insert(caret_, shown);
    caret_ += shown.size();
    if (int(layout().size()) > lines_per_view_) {
      caret_ -= shown.size();
      text_.erase(caret_, shown.size());
      break;
    }
    taken += n;
    i += n;
  }
  repaint();
  return taken;
}

int CBriskEdit::line_count(size_t pos) const {
  int n = 1;
  for (size_t i = 0; i < pos && i < text_.size(); ++i) n += text_[i] == u'\n' || text_[i] == u'\t';
  return n;
}

std::vector<CBriskEdit::Line> CBriskEdit::layout() const {
  return layout_of(text_);
}

std::vector<CBriskEdit::Line> CBriskEdit::layout_of(const std::u16string& text) const {
  std::vector<Line> lines;
  Line line;
  int x = kLeftMargin;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\n') {
      line.end = i;
      lines.push_back(line);
      line = {i + 1, i + 1};
      x = kLeftMargin;
      continue;
    }
    const int w = width_in(text, i);
    if (x + w > client_width() && i > line.start) {
      // A Latin word moves to the next line whole when a space before it
      // on this line allows; Chinese text breaks between any characters.
      size_t cut = i;
      if (is_word_char(c) && is_word_char(text[i - 1])) {
        size_t j = i;
        while (j > line.start && is_word_char(text[j - 1])) --j;
        if (j > line.start && text[j - 1] == u' ') cut = j;
      }
      line.end = cut;
      lines.push_back(line);
      line = {cut, cut};
      x = kLeftMargin;
      for (size_t k = cut; k < i; ++k) x += width_in(text, k);
    }
    x += w;
  }
  line.end = text.size();
  lines.push_back(line);
  return lines;
}

Point CBriskEdit::caret_position(size_t index) const {
  return position_in(text_, layout(), index);
}

Point CBriskEdit::position_in(const std::u16string& text, const std::vector<Line>& lines,
                              size_t index) const {
  for (size_t n = 0; n < lines.size(); ++n) {
    const bool last = n + 1 == lines.size();
    // An index at a wrap point belongs to the next line.
    if (index < lines[n].start || (index > lines[n].end) ||
        (index == lines[n].end && !last && lines[n + 1].start == index))
      continue;
    int x = kLeftMargin;
    for (size_t i = lines[n].start; i < index; ++i) x += width_in(text, i);
    return {x, int(n) * line_height_};
  }
  return {kLeftMargin, 0};
}

std::optional<size_t> CBriskEdit::index_at(Point p) const {
  if (p.y < 0) return std::nullopt;
  const auto lines = layout();
  const size_t n = size_t(p.y / line_height_);
  if (n >= lines.size()) return std::nullopt;
  int x = kLeftMargin;
  for (size_t i = lines[n].start; i < lines[n].end; ++i) {
    const int w = char_width(i);
    if (w == 0) continue;  // the second half of a pair: taps land on its first
    if (p.x < x + w / 2) return i;
    x += w;
  }
  return lines[n].end;
}

void CBriskEdit::on_char(char16_t ch) {
  if (ch == 8) {
    if (caret_ > 0) {
      // A surrogate pair goes as one character.
      size_t n = 1;
      if (caret_ >= 2 && text_[caret_ - 1] >= 0xDC00 && text_[caret_ - 1] < 0xE000 &&
          text_[caret_ - 2] >= 0xD800 && text_[caret_ - 2] < 0xDC00)
        n = 2;
      text_.erase(caret_ - n, n);
      caret_ -= n;
    }
  } else if (ch == 13) {
    if (text_.size() < max_length_ && int(layout().size()) < lines_per_view_) {
      text_.insert(caret_, 1, u'\n');
      ++caret_;
    }
  } else if (ch >= 32 || ch == u'\t') {
    if (text_.size() < max_length_) {
      text_.insert(caret_, 1, ch);
      ++caret_;
      // Taken back at once when it needs a line the box cannot show.
      if (int(layout().size()) > lines_per_view_) {
        --caret_;
        text_.erase(caret_, 1);
      }
    }
  } else {
    return;
  }
  repaint();
}

intptr_t CBriskEdit::on_message(const Message& m) {
  auto* ws = WindowSystem::instance();
  switch (m.id) {
    case msg::kStylusDown: {
      sip_show();
      ws->set_focus(window());
      if (auto i = index_at({lparam_x(m.lparam), lparam_y(m.lparam)})) caret_ = *i;
      repaint();
      return 0;
    }
    case msg::kSetFocus:
    case msg::kKillFocus:
      repaint();
      return 0;
    case msg::kKeyDown:
      if (m.wparam == key::kLeft && caret_ > 0)
        --caret_;
      else if (m.wparam == key::kRight && caret_ < text_.size())
        ++caret_;
      else
        return 0;
      repaint();
      return 1;
    case msg::kChar:
      on_char(char16_t(m.wparam));
      return 1;
    default:
      return 0;
  }
}

void CBriskEdit::on_paint(gfx::Painter& p) {
  const auto& theme = shell::theme_colors();
  const gfx::PixelCanvas& c = p.canvas();
  p.fill_rounded({0, 0, c.width, c.height}, theme.edit_bk_color, theme.edit_bg_alpha);
  const int font_h = font_ ? font_->height() : 24;
  // The composition is laid out inside the text at the caret, so what
  // follows moves on and wraps as it will once the composition is taken.
  const std::u16string& composing = focused() && font_ ? composition() : std::u16string();
  const std::u16string shown =
      composing.empty() ? text_ : text_.substr(0, caret_) + composing + text_.substr(caret_);
  const auto lines = composing.empty() ? layout() : layout_of(shown);
  // The caret, and the composition's cursor while composing. A composition
  // that runs past the last line the box shows lifts the view until its
  // cursor's line is the last one (the text itself never needs it).
  const size_t at = caret_ + (composing.empty() ? 0 : composition_cursor());
  Point caret = composing.empty() ? caret_position(caret_) : position_in(shown, lines, at);
  const int lift = line_height_ > 0
                       ? std::max(0, caret.y / line_height_ - (lines_per_view_ - 1)) * line_height_
                       : 0;
  caret.y -= lift;
  if (font_) {
    for (size_t n = 0; n < lines.size(); ++n) {
      int x = kLeftMargin;
      const int y = int(n) * line_height_ - lift;
      if (y + line_height_ <= 0) continue;
      for (size_t i = lines[n].start; i < lines[n].end; ++i) {
        const int w = width_in(shown, i);
        if (w == 0) continue;
        const size_t units = is_pair(shown, i) ? 2 : 1;
        if (i >= caret_ && i < caret_ + composing.size())
          paint_composition_box(p, {x, y, x + w, y + font_h}, theme.edit_text_color,
                                theme.edit_bk_color);
        // The rectangle places the character; its ink may start a pixel
        // left of the pen, so it is not a clip (the painter's clip holds).
        if (shown[i] != u'\t')
          p.text(std::u16string_view(&shown[i], units), {x, y, x + w + average_, y + line_height_},
                 *font_, theme.edit_text_color, text::kSingleLine | text::kNoClip);
        x += w;
      }
    }
  }
  if (focused()) paint_caret(p, caret, font_h, c.width, theme.edit_text_color);
}

}  // namespace tavrin::controls
