// CBriskEdit: the skinned multi-line box for message text (chat input, SMS
// texts). Its text is UTF-16 with line feeds between lines. Characters are
// laid out from a 5-pixel left margin by the advances of the font they are
// drawn with (a surrogate pair as one character), so caret, taps and
// wrapping agree with what is drawn; a line ends at a line feed or where the
// next character would pass the right edge. The box never scrolls: input
// that would need a line it cannot show is refused. How many characters it
// takes is still counted in average widths.
//
// The layout operations are virtual so the chat and SMS screens can lay
// their text out their own way. A child window of its screen, destroyed
// with the object. UI thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/ChildControl.h"
#include "platform/font.h"
#include "platform/window_system.h"

namespace tavrin::controls {

class CBriskEdit : public ChildControl {
 public:
  static constexpr int kLeftMargin = 5;

  struct Line {
    size_t start = 0;
    size_t end = 0;  // one past the last character shown (a line feed is not shown)
  };

  CBriskEdit() = default;
  ~CBriskEdit() override { destroy(); }

  // A child of parent at rect (parent coordinates). The maximum length is
  // the smaller of max_length and what the box can show. font: the
  // window's font ("黑体" 24 when none is given).
  bool create(platform::WindowId parent, platform::Rect rect, size_t max_length,
              std::optional<platform::Font> font = std::nullopt, int line_spacing = 4);

  void set_text(std::u16string_view text);  // caret to the end, repaint
  // Inserts at the caret (a paste, an emoticon), the caret after it; what
  // the box cannot take is left out. The characters taken.
  size_t insert_text(std::u16string_view text);
  const std::u16string& text() const { return text_; }
  size_t caret() const { return caret_; }
  size_t max_length() const { return max_length_; }
  int lines_per_view() const { return lines_per_view_; }
  int chars_per_line() const { return chars_per_line_; }

  // 1 plus the line feeds and tabs before pos.
  virtual int line_count(size_t pos) const;
  // The lines of the text as laid out in the box.
  virtual std::vector<Line> layout() const;
  // Top-left pixel of the character at index (client coordinates).
  virtual platform::Point caret_position(size_t index) const;
  // The character index at a client point; nullopt outside the text rows.
  virtual std::optional<size_t> index_at(platform::Point p) const;

  void on_char(char16_t ch);

 protected:
  intptr_t on_message(const platform::Message& m) override;
  void on_paint(gfx::Painter& p) override;
  // The advance of the character at index i (0 for the second half of a
  // surrogate pair).
  int char_width(size_t i) const;
  int line_height() const { return line_height_; }
  int client_width() const { return rect().width(); }

 private:
  // The layout rules over any text: the box's own, or with the input
  // method's composition standing in it at the caret.
  int width_in(const std::u16string& text, size_t i) const;
  std::vector<Line> layout_of(const std::u16string& text) const;
  platform::Point position_in(const std::u16string& text, const std::vector<Line>& lines,
                              size_t index) const;

  std::u16string text_;
  size_t caret_ = 0;
  size_t max_length_ = 0;
  int average_ = 12;
  int line_height_ = 28;
  int lines_per_view_ = 1;
  int chars_per_line_ = 1;
  std::optional<platform::Font> font_;
};

}  // namespace tavrin::controls
