// ChildControl: the base of the controls that are child windows of a screen
// (the edit fields). It owns the child window, its surface and the backdrop
// (what the parent shows under the control), follows focus, keeps the input
// method's composition while the control has the focus (each control draws
// it inline at its caret, pushing the text after the caret on), and paints:
// backdrop first, then the control through a Painter, then one present.
// A control writes on_paint and on_message; the rest is here.
//
// The control object owns its window: destroying the object destroys the
// window, and no handler of a half-destroyed control ever runs. UI thread.
#pragma once

#include <string>

#include "controls/Backdrop.h"
#include "gfx/CSurface.h"
#include "gfx/Painter.h"
#include "platform/font.h"
#include "platform/window_system.h"

namespace tavrin::controls {

class ChildControl {
 public:
  ChildControl() = default;
  virtual ~ChildControl() { destroy(); }
  ChildControl(const ChildControl&) = delete;
  ChildControl& operator=(const ChildControl&) = delete;

  void destroy();
  platform::WindowId window() const { return window_; }
  const platform::Rect& rect() const { return rect_; }  // parent coordinates
  bool focused() const { return focused_; }
  // The input method's text being composed here: shown at the caret, not
  // yet part of the control's text (committed text arrives as characters).
  const std::u16string& composition() const { return composition_; }
  // Paints now when the control is shown.
  void repaint();

 protected:
  // A child of parent at rect; false when no window could be made.
  bool create_window(platform::WindowId parent, platform::Rect rect, std::string class_name);
  virtual void on_paint(gfx::Painter& p) = 0;
  // Every message but paint; focus changes arrive after focused() changed.
  virtual intptr_t on_message(const platform::Message& m) = 0;
  platform::WindowSystem* windows() const { return platform::WindowSystem::instance(); }
  // The composition as drawn: one '*' a character in a hidden (password) box.
  std::u16string composition_shown(bool hidden) const;
  // Where the composition's own cursor is, in UTF-16 units.
  size_t composition_cursor() const { return composition_cursor_; }
  // The composition's cell, before its text is drawn in it: the box's
  // background, underlined, so it reads as text not yet taken.
  static void paint_composition_box(gfx::Painter& p, const platform::Rect& box,
                                    uint32_t text_colour, uint32_t background);
  // The caret with its top at `at` (client coordinates), drawn when left
  // of `right`, and told to the window system for the candidate window.
  void paint_caret(gfx::Painter& p, platform::Point at, int height, int right,
                   uint32_t text_colour);

 private:
  intptr_t dispatch(const platform::Message& m);
  void paint();

  platform::WindowId window_ = 0;
  platform::Rect rect_;
  bool focused_ = false;
  std::u16string composition_;
  size_t composition_cursor_ = 0;
  gfx::CSurface surface_;
  Backdrop backdrop_;
};

}  // namespace tavrin::controls
