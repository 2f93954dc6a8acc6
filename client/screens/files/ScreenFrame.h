// ScreenFrame: what the secondary screens share besides the frame the
// screen base draws (the contact, settings, appearance screens and the file
// picker): the plain theme background and one-line labels. Rectangles are
// window coordinates. UI thread only.
#pragma once

#include <string_view>

#include "gfx/Painter.h"
#include "shell/theme_colors.h"

namespace tavrin::screens {

struct ScreenFrame {
  // The theme's background colour over the whole window.
  static void background(gfx::Painter& p, const shell::ThemeColors& t);
  // A one-line text in the background's text colour.
  static void label(gfx::Painter& p, const shell::ThemeColors& t, std::u16string_view text,
                    const gfx::Rect& r, int height = 26);
};

}  // namespace tavrin::screens
