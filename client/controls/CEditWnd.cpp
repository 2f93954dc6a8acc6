#include "controls/CEditWnd.h"

#include <algorithm>

#include "controls/GbText.h"
#include "controls/ShellBars.h"
#include "gfx/Fonts.h"
#include "gfx/Primitives.h"
#include "platform/clipboard.h"
#include "platform/text_codec.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

using namespace platform;

namespace {
// Without an installed face the field still measures: single-byte
// characters one average width, double-byte ones two.
constexpr int kFallbackAverage = 12;
}  // namespace

bool CEditWnd::create(WindowId parent, Rect rect, size_t max_length, int left_margin,
                      int right_margin) {
  max_length_ = max_length;
  left_margin_ = left_margin;
  right_margin_ = right_margin;
  font_ = gfx::make_font(gfx::kEditFontHeight, gfx::kEditFace);
  // One pixel of the room stays for the caret after the last character.
  view_width_ = std::max(0, rect.width() - left_margin_ - right_margin_ - 1);
  return create_window(parent, rect, "CEditWnd");
}

void CEditWnd::set_text(std::u16string_view text) {
  set_text_bytes(utf16_to_gb2312(text));
}

void CEditWnd::set_text_bytes(std::string_view bytes) {
  text_ = std::string(gb::fit(gb::sanitize(bytes), max_length_));
  anchor_ = -1;
  caret_ = text_.size();
  first_visible_ = 0;
  ensure_caret_visible();
  repaint();
}

std::u16string CEditWnd::text() const {
  return gb2312_to_utf16(text_);
}

void CEditWnd::clear() {
  set_text_bytes({});
}

void CEditWnd::set_frame(bool on) {
  frame_ = on;
  repaint();
}

void CEditWnd::set_password(bool on) {
  password_ = on;
  ensure_caret_visible();  // "*" is not as wide as what it hides
  repaint();
}

std::string CEditWnd::selected_bytes() const {
  if (!has_selection()) return {};
  const size_t a = std::min(size_t(anchor_), caret_), b = std::max(size_t(anchor_), caret_);
  return text_.substr(a, b - a);
}

void CEditWnd::ensure_caret_visible() {
  if (first_visible_ > caret_) first_visible_ = caret_;
  // Measured in pixels: the field's face is proportional, so a count of
  // bytes says nothing about what fits.
  while (first_visible_ < caret_ && text_width(first_visible_, caret_) > view_width_)
    first_visible_ = gb::next_start(text_, first_visible_);
  // No empty room after the end while text is hidden before the start:
  // after a deletion or at End the line slides back as far as it fits.
  while (first_visible_ > 0 &&
         text_width(gb::prev_start(text_, first_visible_), text_.size()) <= view_width_)
    first_visible_ = gb::prev_start(text_, first_visible_);
}

size_t CEditWnd::shown_end(size_t from, int width) const {
  size_t end = from;
  while (end < text_.size()) {
    const size_t next = gb::next_start(text_, end);
    if (text_width(from, next) > width) break;
    end = next;
  }
  return end;
}

int CEditWnd::caret_x() const {
  return left_margin_ + text_width(first_visible_, caret_);
}

void CEditWnd::move_caret(size_t to, bool shift) {
  if (shift) {
    if (anchor_ < 0) anchor_ = long(caret_);
  } else {
    anchor_ = -1;
  }
  caret_ = to;
}

bool CEditWnd::on_key(uint32_t key_code, bool shift) {
  switch (key_code) {
    case key::kEnd:
      move_caret(text_.size(), shift);
      ensure_caret_visible();
      break;
    case key::kHome:
      move_caret(0, shift);
      first_visible_ = 0;
      break;
    case key::kLeft:
    case key::kUp:
      move_caret(gb::prev_start(text_, caret_), shift);
      ensure_caret_visible();
      break;
    case key::kRight:
    case key::kDown:
      move_caret(gb::next_start(text_, caret_), shift);
      ensure_caret_visible();
      break;
    case key::kDelete:
      if (caret_ < text_.size()) text_.erase(caret_, gb::char_len(text_, caret_));
      anchor_ = -1;
      ensure_caret_visible();
      break;
    default:
      return false;
  }
  repaint();
  return true;
}

void CEditWnd::erase_selection() {
  if (!has_selection()) {
    anchor_ = -1;
    return;
  }
  const size_t a = std::min(size_t(anchor_), caret_), b = std::max(size_t(anchor_), caret_);
  text_.erase(a, b - a);
  caret_ = a;
  anchor_ = -1;
  // What followed the erased bytes moved: the view may not start inside it.
  if (first_visible_ > a) first_visible_ = a;
}

void CEditWnd::insert(std::string_view bytes) {
  text_.insert(caret_, bytes);
  caret_ += bytes.size();
  ensure_caret_visible();
}

void CEditWnd::on_char(char16_t ch) {
  if (ch == 8) {
    if (has_selection()) {
      erase_selection();
    } else if (caret_ > 0) {
      const size_t prev = gb::prev_start(text_, caret_);
      text_.erase(prev, caret_ - prev);
      caret_ = prev;
      anchor_ = -1;
      first_visible_ = gb::prev_start(text_, std::min(first_visible_, caret_));
    }
    after_edit();
    return;
  }
  if (ch < 32 || ch == 127) {
    if (ch == 3) copy();
    if (ch == 22) paste();
    if (ch == 24) cut();
    return;
  }
  std::u16string typed;
  if (ch >= 0xD800 && ch < 0xDC00) {
    pending_high_ = ch;  // the rest of the character is on its way
    return;
  }
  if (ch >= 0xDC00 && ch < 0xE000 && pending_high_) typed += pending_high_;
  pending_high_ = 0;
  typed += ch;
  // GB2312 has no character outside the basic plane; the codec gives '?'.
  const std::string bytes = std::string(gb::fit(utf16_to_gb2312(typed), 2));
  erase_selection();
  // The character goes in whole or not at all.
  if (!bytes.empty() && text_.size() + bytes.size() <= max_length_) insert(bytes);
  after_edit();
}

void CEditWnd::after_edit() {
  ensure_caret_visible();
  repaint();
}

void CEditWnd::copy() {
  if (!has_selection()) return;
  Clipboard::clear();
  Clipboard::set_text(gb2312_to_utf16(selected_bytes()));
}

void CEditWnd::cut() {
  if (!has_selection()) return;
  copy();
  const size_t removed = selected_bytes().size();
  erase_selection();
  first_visible_ = first_visible_ > removed ? first_visible_ - removed : 0;
  if (!gb::is_boundary(text_, first_visible_))
    first_visible_ = gb::prev_start(text_, first_visible_);
  after_edit();
}

void CEditWnd::paste() {
  const auto clip = Clipboard::text();
  if (!clip) return;
  // One line: control characters (line breaks, tabs) do not belong here.
  std::u16string line;
  for (char16_t c : *clip)
    if (c >= 32 && c != 127) line += c;
  erase_selection();
  const std::string bytes = gb::sanitize(utf16_to_gb2312(line));
  insert(gb::fit(bytes, max_length_ - std::min(max_length_, text_.size())));
  after_edit();
}

std::u16string CEditWnd::units(size_t from, size_t to) const {
  std::u16string out;
  for (size_t i = from; i < to && i < text_.size(); i += gb::char_len(text_, i)) {
    if (password_) {
      out += u'*';
      continue;
    }
    const std::u16string u = gb2312_to_utf16(text_.substr(i, gb::char_len(text_, i)));
    out += u.size() == 1 ? u[0] : u'\uFFFD';
  }
  return out;
}

int CEditWnd::text_width(size_t from, size_t to) const {
  const std::u16string u = units(from, to);
  if (font_) return font_->text_width(u);
  int w = 0;
  for (size_t i = from; i < to && i < text_.size(); i += gb::char_len(text_, i))
    w += kFallbackAverage * int(gb::char_len(text_, i));
  return w;
}

size_t CEditWnd::index_at(int x) const {
  // Nearest character edge to the tap, over the shown part of the text.
  size_t at = first_visible_;
  int left = left_margin_;
  while (at < text_.size()) {
    const size_t next = gb::next_start(text_, at);
    const int w = text_width(at, next);
    if (x < left + w / 2) break;
    left += w;
    at = next;
  }
  return std::min(at, text_.size());
}

intptr_t CEditWnd::on_message(const Message& m) {
  auto* ws = WindowSystem::instance();
  switch (m.id) {
    case msg::kStylusDown: {
      sip_show();
      ws->set_focus(window());
      ws->set_capture(window());
      caret_ = index_at(lparam_x(m.lparam));
      // A tap on a character half past the right edge brings it in.
      ensure_caret_visible();
      anchor_ = long(caret_);
      dragging_ = true;
      repaint();
      return 0;
    }
    case msg::kStylusMove:
      if (dragging_) {
        caret_ = index_at(lparam_x(m.lparam));
        ensure_caret_visible();
        repaint();
      }
      return 0;
    case msg::kStylusUp:
      dragging_ = false;
      if (ws->capture() == window()) ws->release_capture();
      return 0;
    case msg::kSetFocus:
    case msg::kKillFocus:
      repaint();
      return 0;
    case msg::kKeyDown:
    case msg::kChar: {
      const std::string before = text_;
      intptr_t result = 1;
      if (m.id == msg::kChar)
        on_char(char16_t(m.wparam));
      else
        result = on_key(uint32_t(m.wparam), ws->key_held(key::kShift)) ? 1 : 0;
      if (text_ != before && on_change_) on_change_();
      return result;
    }
    default:
      return 0;
  }
}

void CEditWnd::on_paint(gfx::Painter& p) {
  const auto& theme = shell::theme_colors();
  const gfx::PixelCanvas& c = p.canvas();
  const gfx::Rect all{0, 0, c.width, c.height};
  if (frame_) {
    p.fill_rounded(all, theme.edit_bk_color, theme.edit_bg_alpha);
    p.draw_rounded_frame(all, theme.edit_out_line_color, 255);
    p.draw_rounded_frame(all.inset(1), theme.edit_in_line_color, 255);
  }
  const int font_h = font_ ? font_->height() : gfx::kEditFontHeight;
  const int top = (c.height - font_h) / 2;
  const int right = c.width - right_margin_;
  const int caret_x = this->caret_x();
  const std::u16string composing = focused() && font_ ? composition_shown(password_) : u"";
  if (composing.empty()) {
    if (has_selection()) {
      const size_t a = std::max(first_visible_, std::min(size_t(anchor_), caret_));
      const size_t b = std::max(a, std::max(size_t(anchor_), caret_));
      const int x0 = left_margin_ + text_width(first_visible_, a);
      const int x1 = std::min(right, left_margin_ + text_width(first_visible_, b));
      if (x1 > x0) p.fill_rect({x0, top, x1, top + font_h}, theme.edit_out_line_color, 96);
    }
    // Whole characters only: one cut at the edge would read as another.
    if (font_)
      p.text(units(first_visible_, shown_end(first_visible_, right - left_margin_)),
             {left_margin_, 0, right, c.height}, *font_, theme.edit_text_color,
             text::kSingleLine | text::kVCenter);
    if (focused()) paint_caret(p, {caret_x, top}, font_h, right, theme.edit_text_color);
    return;
  }
  // The composition stands in the line at the caret and pushes what follows
  // to the right. The line slides left as far as needed to show the whole
  // composition, or at least its cursor, and never further.
  const int width = font_->text_width(composing);
  const int cursor =
      font_->text_width(std::u16string_view(composing).substr(0, composition_cursor()));
  int shift = std::clamp(caret_x + width - right + 1, 0, caret_x - left_margin_);
  if (caret_x + cursor - shift >= right) shift = caret_x + cursor - right + 1;
  const int at = caret_x - shift;
  const unsigned flags = text::kSingleLine | text::kVCenter;
  p.save();
  p.clip({left_margin_, 0, right, c.height});
  p.text(units(first_visible_, caret_), {left_margin_ - shift, 0, right, c.height}, *font_,
         theme.edit_text_color, flags);
  paint_composition_box(p, {at, top, at + width, top + font_h}, theme.edit_text_color,
                        theme.edit_bk_color);
  p.text(composing, {at, 0, at + width + 1, c.height}, *font_, theme.edit_text_color, flags);
  p.text(units(caret_, shown_end(caret_, right - at - width)), {at + width, 0, right, c.height},
         *font_, theme.edit_text_color, flags);
  p.restore();
  paint_caret(p, {at + cursor, top}, font_h, right, theme.edit_text_color);
}

}  // namespace tavrin::controls
