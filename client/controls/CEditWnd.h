// CEditWnd: the skinned single-line field (account, password, search text,
// a name, a mobile number). Its text is GB2312 bytes; a typed character
// arrives as one UTF-16 unit and is stored whole (one or two bytes), and
// caret moves, Backspace, Delete, cut and paste work on whole characters,
// so the stored text never holds half a character. The field scrolls its
// text sideways and never grows past its maximum length in bytes.
//
// A child window of its screen; the screen owns the CEditWnd object, which
// destroys its window with it. Copy and paste go through the platform
// clipboard. Painted in the theme's edit colours with the "宋体" 24 font.
// UI thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "controls/ChildControl.h"
#include "platform/font.h"
#include "platform/window_system.h"

namespace tavrin::controls {

class CEditWnd : public ChildControl {
 public:
  CEditWnd() = default;
  ~CEditWnd() override { destroy(); }

  // A child of parent at rect (parent coordinates); max_length in bytes.
  bool create(platform::WindowId parent, platform::Rect rect, size_t max_length,
              int left_margin = 6, int right_margin = 6);

  void set_text(std::u16string_view text);      // cut to the maximum length
  void set_text_bytes(std::string_view bytes);  // the same, from GB2312
  std::u16string text() const;
  const std::string& text_bytes() const { return text_; }
  void clear();

  // Called after the user's typing, deleting, cutting or pasting changed the
  // text (not after set_text or clear).
  void set_on_change(std::function<void()> on_change) { on_change_ = std::move(on_change); }

  void set_frame(bool on);
  void set_password(bool on);
  size_t max_length() const { return max_length_; }

  size_t caret() const { return caret_; }
  size_t first_visible() const { return first_visible_; }
  // The caret's x in the field's client coordinates; it always lies
  // before text_right(), where the shown text ends.
  int caret_x() const;
  int text_right() const { return left_margin_ + view_width_ + 1; }
  bool has_selection() const { return anchor_ >= 0 && size_t(anchor_) != caret_; }
  std::string selected_bytes() const;
  bool dragging() const { return dragging_; }

  // The handlers, as the window receives them; public for tests and the
  // fuzz harness. on_key returns true when the key was handled here.
  bool on_key(uint32_t key_code, bool shift);
  void on_char(char16_t ch);
  void copy();
  void cut();
  void paste();
  // The byte index under a point in the field's client coordinates.
  size_t index_at(int x) const;

 protected:
  intptr_t on_message(const platform::Message& m) override;
  void on_paint(gfx::Painter& p) override;

 private:
  void after_edit();
  void erase_selection();
  void insert(std::string_view bytes);
  void ensure_caret_visible();
  // The end of the whole characters from `from` that fit in width pixels.
  size_t shown_end(size_t from, int width) const;
  void move_caret(size_t to, bool shift);
  std::u16string units(size_t from, size_t to) const;  // one unit per character
  int text_width(size_t from, size_t to) const;
  std::function<void()> on_change_;
  std::string text_;  // GB2312, whole characters only
  size_t max_length_ = 0;
  size_t caret_ = 0;
  size_t first_visible_ = 0;
  int view_width_ = 0;  // pixels the text may take before the caret's column
  long anchor_ = -1;    // selection anchor; -1 when none
  bool dragging_ = false;
  bool frame_ = true;
  bool password_ = false;
  int left_margin_ = 6, right_margin_ = 6;
  char16_t pending_high_ = 0;  // a high surrogate waiting for its pair
  std::optional<platform::Font> font_;
};

}  // namespace tavrin::controls
