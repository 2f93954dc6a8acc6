#include "controls/CScrollList.h"

#include <algorithm>

#include "controls/PressEffect.h"
#include "gfx/Fonts.h"
#include "gfx/Painter.h"
#include "gfx/Primitives.h"
#include "platform/window_system.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

using namespace platform;

CScrollList::CScrollList(int row_height)
    : ScrollView(msg::kListStep), row_height_(std::max(1, row_height)) {
  font_ = gfx::make_font(28);
}

int CScrollList::add_row(ListRow row) {
  rows_.push_back(std::move(row));
  return int(rows_.size()) - 1;
}

void CScrollList::clear() {
  rows_.clear();
  tops_.clear();
  selected_ = -1;
}

void CScrollList::set_tap_message(uint32_t message, uintptr_t wparam) {
  tap_message_ = message;
  tap_wparam_ = wparam;
}

int CScrollList::layout_content() {
  tops_.assign(1, 0);
  for (const auto& r : rows_)
    tops_.push_back(tops_.back() + (r.height > 0 ? r.height : row_height_));
  return tops_.back();
}

ScrollView::Hit CScrollList::hit_test(int content_y) const {
  if (tops_.size() < 2 || content_y < 0 || content_y >= tops_.back()) return {};
  const auto it = std::upper_bound(tops_.begin(), tops_.end(), content_y);
  return {0, int(it - tops_.begin()) - 1};
}

void CScrollList::tapped(Hit hit, int dx, Point up) {
  if (hit.item < 0 || hit.item >= int(rows_.size())) return;
  selected_ = hit.item;
  paint();
  // A sideways stroke is not a choice.
  if (dx <= -kStrokeTravel || dx >= kStrokeTravel) return;
  PressEffect::play(owner(), up.x, up.y, 0, &view());
  if (tap_message_)
    WindowSystem::instance()->post(owner(), tap_message_, tap_wparam_,
                                   rows_[size_t(hit.item)].value);
}

void CScrollList::draw_content(gfx::PixelCanvas& c, int offset) {
  if (tops_.size() != rows_.size() + 1) layout_content();
  const auto& theme = shell::theme_colors();
  PixelBuffer565 target = c.buffer();
  for (size_t i = 0; i < rows_.size(); ++i) {
    const gfx::Rect r{0, tops_[i] - offset, c.width, tops_[i + 1] - offset};
    if (r.top >= c.height || r.bottom <= 0) continue;
    const bool selected = int(i) == selected_;
    if (painter_) {
      painter_(c, rows_[i], r, selected);
      continue;
    }
    if (selected) gfx::fill_rect(c, theme.list_bk_color, r, theme.list_bg_alpha);
    if (font_)
      font_->draw(target, rows_[i].text, {r.left + 20, r.top, r.right - 10, r.bottom},
                  selected ? gfx::Painter(c).legible(theme.list_text_color, r)
                           : theme.list_text_color,
                  text::kSingleLine | text::kVCenter);
    gfx::draw_faded_hline(c, r.bottom - 1, 0, c.width, theme.list_line_color, 255, 30);
  }
}

}  // namespace tavrin::controls
