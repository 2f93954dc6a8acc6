#include "screens/sms/SmsScreen.h"

#include <algorithm>

#include "shell/app_paths.h"

namespace tavrin::screens {

using namespace platform;
using controls::Rect;

SmsScreen::SmsScreen(std::string class_name, std::u16string title, WindowId owner)
    : controls::Screen(
          {.class_name = std::move(class_name), .title = u"BriskTavrin", .owner = owner}) {
  set_frame({.title = std::move(title), .title_band = kTitleBar, .bands = false});
}

void SmsScreen::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  p.fill_rect({0, 0, 480, 800}, t.bg_color, 255);
  const auto file = shell::app_paths().resolve(t.bk_path);
  // The user's own photo: a shade under the page keeps its lists and
  // texts readable whatever the photo holds.
  if (!t.bk_path.empty() && p.picture(file.string(), {0, 0, 480, 800}) &&
      shell::app_paths().is_own_picture(file))
    p.veil({0, kTitleBar.bottom, 480, kSoftBar.top}, {t.list_text_color, t.menu_text_color});
  // The bands go under the page, which may put an icon on the title band.
  p.fill_shaded(kTitleBar, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  p.fill_shaded(kSoftBar, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  paint_page(p);
}

intptr_t SmsScreen::on_message(const Message& m) {
  return on_screen_message(m);
}

int SmsScreen::notice(std::u16string text, int type) {
  ++notices_;
  last_notice_ = text;
  // The box dims what the display shows: the whole screen, children too.
  repaint();
  const int answer = controls::CMsgBoxDlg::show(window(), std::move(text), kCaption, type);
  repaint();
  return answer;
}

namespace {
// The 30-pixel face, or a smaller one when the caption would not fit the
// width (Chinese characters are about as wide as they are high).
int fitted_height(std::u16string_view caption, int width) {
  return caption.empty() ? 30 : std::min(30, width / int(caption.size()));
}
}  // namespace

void SmsScreen::paint_button(gfx::Painter& p, const Rect& r, std::u16string_view caption,
                             int height) {
  const auto& t = theme();
  p.glossy_panel(r, t.btn_bk_color, 0xFFFFFF, t.btn_bg_alpha, 6);
  p.highlight_cap(r);
  p.text(caption, r, height > 0 ? height : fitted_height(caption, r.width() - 8), t.btn_text_color,
         text::kCenter | text::kVCenter | text::kSingleLine);
}

void SmsScreen::paint_label(gfx::Painter& p, std::u16string_view text, const Rect& r, int height,
                            unsigned flags) {
  p.text(text, r, height, theme().menu_text_color,
         flags ? flags : text::kLeft | text::kVCenter | text::kSingleLine);
}

}  // namespace tavrin::screens
