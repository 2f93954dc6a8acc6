#include "screens/files/ScreenFrame.h"

#include "platform/font.h"

namespace tavrin::screens {

using namespace platform;

void ScreenFrame::background(gfx::Painter& p, const shell::ThemeColors& t) {
  p.fill_rect({0, 0, 480, 800}, t.bg_color, 255);
}

void ScreenFrame::label(gfx::Painter& p, const shell::ThemeColors& t, std::u16string_view text,
                        const gfx::Rect& r, int height) {
  p.text(text, r, height, t.bg_text_color, text::kLeft | text::kVCenter | text::kSingleLine);
}

}  // namespace tavrin::screens
