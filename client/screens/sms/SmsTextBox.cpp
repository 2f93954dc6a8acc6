#include "screens/sms/SmsTextBox.h"

#include "gfx/Fonts.h"
#include "gfx/Painter.h"
#include "screens/sms/SmsScreen.h"
#include "shell/theme_colors.h"

namespace tavrin::screens {

using namespace platform;

intptr_t SmsTextBox::Edit::on_message(const Message& m) {
  if (m.id != msg::kChar) return CBriskEdit::on_message(m);
  const std::u16string before = text();
  const intptr_t result = CBriskEdit::on_message(m);
  if (text() != before) windows()->post(owner, SmsScreen::kTextChanged);
  return result;
}

bool SmsTextBox::create(WindowId owner, Rect box, Rect counter, size_t limit, gfx::CSurface* page,
                        int page_top) {
  box_ = box;
  counter_ = counter;
  page_ = page;
  page_top_ = page_top;
  edit_.owner = owner;
  if (!edit_.create(owner, box, limit, gfx::make_font(30))) return false;
  return strip_.create(owner, counter.width(), counter.height());
}

void SmsTextBox::destroy() {
  edit_.destroy();
  strip_.free();
}

void SmsTextBox::set_text(std::u16string_view text) {
  edit_.set_text(text);
  paint_counter();
}

void SmsTextBox::paint() {
  edit_.repaint();
  paint_counter();
}

void SmsTextBox::paint_counter() {
  gfx::PixelCanvas c = strip_.lock();
  if (!c.valid()) return;
  if (page_ && page_->created()) {
    gfx::PixelCanvas under = page_->lock();
    c.copy_from(under, counter_, 0, 0);
  }
  gfx::Painter p(c);
  p.text(counter_text(count()), c.bounds(), kCounterFace, shell::theme_colors().menu_text_color,
         text::kRight | text::kVCenter | text::kSingleLine);
  strip_.present(counter_.left, counter_.top + page_top_);
}

}  // namespace tavrin::screens
