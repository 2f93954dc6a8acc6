#include "screens/files/ScreenFrame.h"

#include "platform/font.h"

namespace tavrin::screens {

using namespace platform;

namespace {
constexpr unsigned kCaption = text::kCenter | text::kVCenter | text::kSingleLine;
}

void ScreenFrame::background(gfx::Painter& p, const shell::ThemeColors& t,
                             std::u16string_view title) {
  p.fill_rect({0, 0, 480, 800}, t.bg_color, 255);
  p.fill_shaded(kTitle, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  p.text(title, gfx::Rect{12, 0, 468, 52}, 30, t.bottom_text_color, kCaption);
}

void ScreenFrame::soft_keys(gfx::Painter& p, const shell::ThemeColors& t, std::u16string_view left,
                            std::u16string_view middle, std::u16string_view right) {
  p.fill_shaded(kSoftBar, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  const std::u16string_view captions[] = {left, middle, right};
  const gfx::Rect keys[] = {kLeftKey, kMiddleKey, kRightKey};
  for (int i = 0; i < 3; ++i)
    if (!captions[i].empty()) p.text(captions[i], keys[i], 30, t.bottom_text_color, kCaption);
}

void ScreenFrame::paint_children(platform::WindowSystem& windows, platform::WindowId window) {
  for (platform::WindowId child : windows.children(window)) {
    if (!windows.visible(child)) continue;
    windows.invalidate(child);
    windows.update(child);
  }
}

void ScreenFrame::label(gfx::Painter& p, const shell::ThemeColors& t, std::u16string_view text,
                        const gfx::Rect& r, int height) {
  p.text(text, r, height, t.bg_text_color, text::kLeft | text::kVCenter | text::kSingleLine);
}

}  // namespace tavrin::screens
