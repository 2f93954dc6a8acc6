// SmsTextBox: the input box of an SMS screen (a CBriskEdit with the
// 30-pixel face) and the counter strip under it, which follows every change
// of the text: characters left of the limit and how many SMS the text
// makes (SmsCounter). The strip has its own surface, painted over a copy of
// the screen's page, so a keystroke repaints only the strip.
//
// Rectangles are the owner window's coordinates. The box posts
// SmsScreen::kTextChanged to its owner when typing changed the text; the
// owner then calls text_changed(). UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "controls/CBriskEdit.h"
#include "gfx/CSurface.h"
#include "screens/sms/SmsCounter.h"

namespace tavrin::screens {

class SmsTextBox {
 public:
  // The counter's face: its strip must be at least this high.
  static constexpr int kCounterFace = 22;

  // page: the owner's surface (what lies under the strip); page_top: the
  // owner window's display row.
  bool create(platform::WindowId owner, platform::Rect box, platform::Rect counter, size_t limit,
              gfx::CSurface* page, int page_top);
  void destroy();

  const std::u16string& text() const { return edit_.text(); }
  void set_text(std::u16string_view text);
  size_t limit() const { return edit_.max_length(); }
  SmsCount count() const { return count_sms(text(), limit()); }
  const platform::Rect& rect() const { return box_; }
  platform::WindowId window() const { return edit_.window(); }
  controls::CBriskEdit& edit() { return edit_; }

  // Repaints the strip after typing.
  void text_changed() { paint_counter(); }
  // The box and the strip over a freshly presented page.
  void paint();

 private:
  class Edit : public controls::CBriskEdit {
   public:
    platform::WindowId owner = 0;

   protected:
    intptr_t on_message(const platform::Message& m) override;
  };

  void paint_counter();

  Edit edit_;
  platform::Rect box_, counter_;
  gfx::CSurface strip_;
  gfx::CSurface* page_ = nullptr;
  int page_top_ = 0;
};

}  // namespace tavrin::screens
