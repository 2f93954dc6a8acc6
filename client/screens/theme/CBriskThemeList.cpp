#include "screens/theme/CBriskThemeList.h"

#include "screens/files/ScreenFrame.h"
#include "screens/theme/CBriskThemePreview.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {
constexpr char16_t kCaption[] = u"BriskLibTavrin Theme List";
}

CBriskThemeList::CBriskThemeList(std::filesystem::path install_folder, controls::UiContext ui)
    : controls::Screen({.class_name = "CBriskThemeList", .title = u"BriskStoreApp"}, std::move(ui)),
      install_folder_(std::move(install_folder)) {
  list_.set_row_painter(
      [this](gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r, bool) {
        const auto& t = theme();
        gfx::Painter p(c);
        if (row.value == selected_) p.fill_rect(r, t.list_bk_color, t.list_bg_alpha);
        p.image(skin("Folder.png"), r.left + 14, r.top + 13);
        p.text(row.text, {r.left + 96, r.top, r.right - 10, r.bottom}, 28, t.bg_text_color,
               text::kLeft | text::kVCenter | text::kSingleLine);
        p.hline(r.bottom - 1, r.left + 10, r.right - 10, t.line_color);
      });
}

CBriskThemeList::~CBriskThemeList() {
  destroy();
}

int CBriskThemeList::run_modal() {
  const int code = controls::Screen::run_modal();
  destroy();
  return code == 1 || installed_ ? 1 : 0;
}

void CBriskThemeList::read_current() {
  current_.reset();
  if (const auto folder = current_package(install_folder_, theme()))
    current_ = decode_png_file((*folder / "PreSee.png").string());
}

bool CBriskThemeList::on_create() {
  packages_ = list_theme_packages(install_folder_);
  read_current();
  list_.set_id(kListId);
  if (!list_.create(window(), kList.left, kList.top + 52, kList.right, kList.bottom + 52))
    return false;
  list_.set_background(&surface(), {0, 52});
  list_.set_tap_message(msg::kItemTapped, kListId);
  for (size_t i = 0; i < packages_.size(); ++i)
    list_.add_row({.text = packages_[i].name, .value = intptr_t(i)});
  list_.relayout();
  return true;
}

void CBriskThemeList::on_destroy() {
  list_.destroy();
}

void CBriskThemeList::open_package(int index) {
  if (index < 0 || index >= int(packages_.size())) return;
  selected_ = index;
  CBriskThemePreview preview(packages_[size_t(index)], install_folder_, ui());
  preview.set_owner(window());
  if (preview.run_modal() == 1) {
    installed_ = true;
    read_current();
  }
  repaint();
}

void CBriskThemeList::on_stylus(StylusAction action, Point p) {
  if (list_.stylus(action, p) || action != StylusAction::kUp) return;
  // 确定 after a theme went in closes the list: the choice is made.
  if (ScreenFrame::kLeftTap.contains(p) && installed_)
    end_modal(1);
  else if (ScreenFrame::kLeftTap.contains(p))
    open_package(selected_);
  else if (ScreenFrame::kRightTap.contains(p))
    end_modal(installed_ ? 1 : 0);
}

intptr_t CBriskThemeList::on_message(const Message& m) {
  if (m.id == msg::kListStep && m.wparam == kListId)
    list_.inertia_step();
  else if (m.id == msg::kItemTapped && m.wparam == kListId)
    open_package(int(m.lparam));
  else if (m.id == ScreenFrame::kPaintLists)
    list_.paint();
  return 0;
}

void CBriskThemeList::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  ScreenFrame::background(p, t, kCaption);
  if (current_) p.image_scaled(*current_, kCurrent);
  p.text(current_ ? u"当前主题" : u"当前主题：自定义",
         {kCurrent.right + 16, kCurrent.top, 470, kCurrent.bottom}, 28, t.bg_text_color,
         text::kLeft | text::kVCenter | text::kSingleLine);
  p.hline(kList.top - 1, 0, 480, t.line_color);
  ScreenFrame::soft_keys(p, t, u"确定", u"", u"退出");
  windows().post(window(), ScreenFrame::kPaintLists);
}

}  // namespace tavrin::screens
