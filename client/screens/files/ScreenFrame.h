// ScreenFrame: the chrome the secondary screens share (the contact,
// settings, appearance screens and the file picker): the title band across
// the top, the soft-key bar across the bottom with up to three keys, and
// the plain theme background between. Rectangles are window coordinates of
// a full screen (display y = window y + 52). UI thread only.
#pragma once

#include <string_view>

#include "gfx/Painter.h"
#include "platform/window_system.h"
#include "shell/theme_colors.h"

namespace tavrin::screens {

struct ScreenFrame {
  // Posted by a screen to itself at the end of its paint: its kinetic lists
  // and child controls draw over the freshly presented frame (a paint the
  // window system asks for covers them).
  static constexpr uint32_t kPaintLists = 9100;
  static void paint_children(platform::WindowSystem& windows, platform::WindowId window);

  static constexpr gfx::Rect kTitle{0, 0, 480, 52};
  static constexpr gfx::Rect kSoftBar{0, 688, 480, 748};
  // The soft keys: left (x 0-120), middle (180-300), right (360-480).
  static constexpr gfx::Rect kLeftKey{0, 688, 120, 748};
  static constexpr gfx::Rect kMiddleKey{180, 688, 300, 748};
  static constexpr gfx::Rect kRightKey{360, 688, 480, 748};
  // The same keys in screen coordinates, for tap tables.
  static constexpr gfx::Rect kLeftTap = kLeftKey.offset(0, 52);
  static constexpr gfx::Rect kMiddleTap = kMiddleKey.offset(0, 52);
  static constexpr gfx::Rect kRightTap = kRightKey.offset(0, 52);

  // Background fill, title band with its text.
  static void background(gfx::Painter& p, const shell::ThemeColors& t, std::u16string_view title);
  // The soft-key bar; an empty caption leaves its key out.
  static void soft_keys(gfx::Painter& p, const shell::ThemeColors& t, std::u16string_view left,
                        std::u16string_view middle, std::u16string_view right);
  // A one-line text in the background's text colour.
  static void label(gfx::Painter& p, const shell::ThemeColors& t, std::u16string_view text,
                    const gfx::Rect& r, int height = 26);
};

}  // namespace tavrin::screens
