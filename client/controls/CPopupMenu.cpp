#include "controls/CPopupMenu.h"

#include <cstdio>

#include "controls/PressEffect.h"
#include "gfx/Fonts.h"
#include "gfx/Primitives.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

using namespace platform;

CPopupMenu::~CPopupMenu() {
  if (shown_) close();
}

void CPopupMenu::clear() {
  items_.clear();
  id_ = kDefaultId;
  chosen_ = -1;
}

void CPopupMenu::add_item(std::u16string text, const gfx::Rect& rect) {
  items_.push_back({std::move(text), rect, false});
}

void CPopupMenu::add_item(std::u16string text) {
  const int top = items_.empty() ? rect_.top + kTitleHeight : items_.back().rect.bottom;
  add_item(std::move(text), {rect_.left, top, rect_.right, top + kItemHeight});
}

bool CPopupMenu::show(WindowId owner) {
  auto* ws = WindowSystem::instance();
  if (!ws || shown_) return false;
  if (current_ && current_ != this) current_->close();
  owner_ = owner;
  chosen_ = -1;
  for (auto& item : items_) item.highlighted = false;
  if (!title_font_) title_font_ = gfx::make_font(30);
  if (!item_font_) item_font_ = gfx::make_font(28);
  if (saved_.create(owner, rect_.width(), rect_.height()) &&
      canvas_.create(owner, rect_.width(), rect_.height()))
    saved_.grab(rect_.left, rect_.top);
  current_ = this;
  shown_ = true;
  bool took = ws->exists(owner);
  if (took) {
    owner_handler_ = ws->set_handler(owner, [this](const Message& m) { return handle(m); });
  } else {
    std::fprintf(stderr, "GetLastError %d\n", 1400);  // no such window
  }
  paint();
  return took;
}

void CPopupMenu::close() {
  if (!shown_) return;
  auto* ws = WindowSystem::instance();
  shown_ = false;
  if (current_ == this) current_ = nullptr;
  if (ws && ws->exists(owner_) && owner_handler_)
    ws->set_handler(owner_, std::move(owner_handler_));
  owner_handler_ = nullptr;
  // What the menu covered comes back: the saved area at once, the owner's
  // own picture when it repaints.
  saved_.present(rect_.left, rect_.top);
  if (ws) {
    ws->invalidate(owner_);
    if (chosen_ >= 0) ws->post(owner_, msg::kMenuCommand, uintptr_t(chosen_), id_);
  }
  saved_.free();
  canvas_.free();
}

int CPopupMenu::hit(Point p) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    const auto& r = items_[i].rect;
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return int(i);
  }
  return -1;
}

bool CPopupMenu::highlight(int index) {
  bool changed = false;
  for (size_t i = 0; i < items_.size(); ++i) {
    const bool on = int(i) == index;
    changed |= items_[i].highlighted != on;
    items_[i].highlighted = on;
  }
  return changed;
}

intptr_t CPopupMenu::handle(const Message& m) {
  auto* ws = WindowSystem::instance();
  const bool stylus =
      m.id == msg::kStylusDown || m.id == msg::kStylusMove || m.id == msg::kStylusUp;
  if (!stylus) {
    // Everything else is the owner's, as before; a repaint of the owner
    // is covered by the menu again.
    platform::Handler h = owner_handler_;
    const intptr_t r = h ? h(m) : 0;
    if (m.id == msg::kPaint && shown_) paint();
    return r;
  }
  const Rect owner_screen = ws->screen_rect(owner_);
  const Point p{lparam_x(m.lparam) + owner_screen.left, lparam_y(m.lparam) + owner_screen.top};
  const int index = hit(p);
  if (m.id == msg::kStylusMove) {
    if (highlight(index)) paint();
  } else if (m.id == msg::kStylusDown) {
    highlight(index);
    paint();
  } else {
    highlight(index);
    if (index >= 0) {
      paint();
      PressEffect::play(owner_, p.x, p.y);
    }
    chosen_ = index;
    close();
  }
  return 0;
}

void CPopupMenu::paint() {
  gfx::PixelCanvas c = canvas_.lock();
  if (!c.valid()) return;
  const auto& theme = shell::theme_colors();
  gfx::PixelCanvas saved = saved_.lock();
  c.copy_from(saved, saved.bounds(), 0, 0);
  const int w = c.width, h = c.height;
  gfx::fill_rounded(c, theme.menu_bk_color, {0, 0, w, h}, theme.menu_bg_alpha, true);
  // The title band: the title in the menu's colour on a band of its text colour.
  gfx::fill_rounded(c, theme.menu_text_color, {2, 2, w - 2, kTitleHeight - 2}, 255);
  PixelBuffer565 target = c.buffer();
  if (title_font_)
    title_font_->draw(target, title_, {0, 0, w, kTitleHeight}, theme.menu_bk_color,
                      text::kCenter | text::kVCenter | text::kSingleLine);
  gfx::draw_hline(c, kTitleHeight, 4, w - 4, 0x808080, 255);
  for (const auto& item : items_) {
    const gfx::Rect r{item.rect.left - rect_.left, item.rect.top - rect_.top,
                      item.rect.right - rect_.left, item.rect.bottom - rect_.top};
    if (item.highlighted) gfx::draw_glossy_panel(c, theme.menu_bk_color, 0xFFFFFF, r, 255, 6);
    if (item_font_)
      item_font_->draw(target, item.text, {r.left + 20, r.top, r.right - 8, r.bottom},
                       theme.menu_text_color, text::kVCenter | text::kSingleLine);
    gfx::draw_faded_hline(c, r.bottom - 1, r.left + 6, r.right - 6, 0x808080, 128, 30);
  }
  canvas_.present(rect_.left, rect_.top);
}

}  // namespace tavrin::controls
