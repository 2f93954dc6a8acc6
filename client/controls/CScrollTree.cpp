#include "controls/CScrollTree.h"

#include <string>

#include "controls/PressEffect.h"
#include "gfx/Fonts.h"
#include "gfx/Painter.h"
#include "gfx/Primitives.h"
#include "platform/window_system.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

using namespace platform;

CScrollTree::CScrollTree() : ScrollView(msg::kTreeStep) {
  caption_font_ = gfx::make_font(30);
  count_font_ = gfx::make_font(28);
  name_font_ = gfx::make_font(30);
}

int CScrollTree::add_section(TreeSection section) {
  sections_.push_back(std::move(section));
  return int(sections_.size()) - 1;
}

int CScrollTree::add_item(int section, TreeItem item) {
  if (section < 0 || section >= int(sections_.size())) return -1;
  auto& items = sections_[size_t(section)].items;
  items.push_back(std::move(item));
  return int(items.size()) - 1;
}

void CScrollTree::clear() {
  sections_.clear();
  selected_section_ = selected_item_ = -1;
}

void CScrollTree::set_images(const gfx::CSkinImage* status, const gfx::CSkinImage* new_message,
                             const gfx::CSkinImage* fold) {
  status_image_ = status;
  new_image_ = new_message;
  fold_image_ = fold;
}

int CScrollTree::status_cell(int status, bool mobile) {
  switch (status) {
    case 68:
      return 0;
    case 75:
      return 60;
    case 78:
      return 120;
    case 76:
      return 180;
    case 66:
      return mobile ? 300 : 240;
    case 69:
      return 360;
    case 67:
      return 420;
    case 70:
      return 480;
    default:
      return 540;
  }
}

int CScrollTree::layout_content() {
  const int width = view().width();
  int y = 0;
  for (auto& s : sections_) {
    s.rect = {0, y, width, y + kSectionHeight};
    y += kSectionHeight;
    for (auto& item : s.items) {
      if (!s.expanded) {
        item.rect = {};
        continue;
      }
      item.rect = {0, y, width - 2, y + kItemHeight};
      y += kItemHeight;
    }
  }
  return y;
}

ScrollView::Hit CScrollTree::hit_test(int content_y) const {
  for (int s = 0; s < int(sections_.size()); ++s) {
    const auto& sec = sections_[size_t(s)];
    if (content_y >= sec.rect.top && content_y < sec.rect.bottom) return {s, -1};
    if (!sec.expanded) continue;
    for (int i = 0; i < int(sec.items.size()); ++i) {
      const auto& r = sec.items[size_t(i)].rect;
      if (content_y >= r.top && content_y < r.bottom) return {s, i};
    }
  }
  return {};
}

void CScrollTree::tapped(Hit hit, int dx, Point up) {
  auto* ws = WindowSystem::instance();
  if (hit.section < 0) return;
  auto& sec = sections_[size_t(hit.section)];
  if (hit.item < 0) {
    // A section's row folds it and chooses the whole section (组发短信).
    sec.expanded = !sec.expanded;
    selected_section_ = hit.section;
    selected_item_ = -1;
    relayout();
    return;
  }
  selected_section_ = hit.section;
  selected_item_ = hit.item;
  const intptr_t value = intptr_t(sec.items[size_t(hit.item)].contact_id);
  paint();
  if (dx <= -kStrokeTravel) {
    ws->post(owner(), msg::kStrokeLeft, 0, value);
  } else if (dx >= kStrokeTravel) {
    ws->post(owner(), msg::kStrokeRight, 0, value);
  } else {
    PressEffect::play(owner(), up.x, up.y, 0, &view());
    ws->post(owner(), msg::kItemTapped, 0, value);
  }
}

void CScrollTree::draw_content(gfx::PixelCanvas& c, int offset) {
  const auto& theme = shell::theme_colors();
  PixelBuffer565 target = c.buffer();
  for (int s = 0; s < int(sections_.size()); ++s) {
    const auto& sec = sections_[size_t(s)];
    const int top = sec.rect.top - offset;
    if (top < c.height && top + kSectionHeight > 0) {
      if (fold_image_) {
        const gfx::Rect cell{sec.expanded ? 20 : 0, 0, sec.expanded ? 40 : 20, 20};
        fold_image_->draw(c, 10, top + 15, &cell);
      }
      int x = 40;
      if (caption_font_) {
        caption_font_->draw(target, sec.caption, {x, top, c.width, top + kSectionHeight}, 0x000000,
                            text::kSingleLine | text::kVCenter);
        x += caption_font_->text_width(sec.caption) + 12;
      }
      if (count_font_) {
        std::u16string count;
        for (char ch : std::to_string(sec.online)) count += char16_t(ch);
        count += sec.count_text.empty() ? u" 人在线" : u" " + sec.count_text;
        // Dark grey: the section rows are light (their caption is black).
        count_font_->draw(target, count, {x, top, c.width, top + kSectionHeight}, 0x404040,
                          text::kSingleLine | text::kVCenter);
      }
      gfx::draw_faded_hline(c, top + kSectionHeight - 1, 0, c.width, theme.list_line_color, 128,
                            30);
    }
    if (!sec.expanded) continue;
    for (int i = 0; i < int(sec.items.size()); ++i) {
      const auto& item = sec.items[size_t(i)];
      const int row = item.rect.top - offset;
      if (row >= c.height || row + kItemHeight <= 0) continue;
      const gfx::Rect whole_row{0, row, item.rect.right, row + kItemHeight};
      const bool chosen = s == selected_section_ && i == selected_item_;
      if (chosen) gfx::fill_rect(c, theme.list_bk_color, whole_row, theme.list_bg_alpha);
      if (status_image_) {
        const int cx = status_cell(item.status, item.mobile);
        const gfx::Rect cell{cx, 0, cx + 60, 66};
        status_image_->draw(c, 50, row + 5, &cell);
      }
      // A long name ends in "…" before the new-message mark, not under it.
      const bool mark = item.new_message && new_image_;
      const int name_right = mark ? kNewMarkX - 6 : c.width - 10;
      if (name_font_)
        // The highlight is the list's text colour, half seen: on it the
        // name takes the shade of that colour that still reads.
        name_font_->draw(target, name_font_->fitted(item.name, name_right - 120),
                         {120, row, name_right, row + kItemHeight},
                         chosen ? gfx::Painter(c).legible(theme.list_text_color, whole_row)
                                : theme.list_text_color,
                         text::kSingleLine | text::kVCenter);
      if (mark) new_image_->draw(c, kNewMarkX, row + 32);
      gfx::draw_faded_hline(c, row + kItemHeight - 1, 0, item.rect.right, theme.list_line_color,
                            255, 30);
    }
  }
}

}  // namespace tavrin::controls
