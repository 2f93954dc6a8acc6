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
  set_frame({.title = kCaption,
             .keys = {{u"确定", controls::kLeftKey, kOk}, {u"退出", controls::kRightKey, kExit}}});
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
  const Rect list = to_screen(kList);
  if (!list_.create(window(), list.left, list.top, list.right, list.bottom)) return false;
  list_.set_background(&surface(), to_screen(Point{0, 0}));
  add_list(list_);
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

void CBriskThemeList::on_command(int command) {
  // 确定 after a theme went in closes the list: the choice is made.
  if (command == kOk && installed_)
    end_modal(1);
  else if (command == kOk)
    open_package(selected_);
  if (command == kExit) end_modal(installed_ ? 1 : 0);
}

intptr_t CBriskThemeList::on_message(const Message& m) {
  if (m.id == msg::kItemTapped && m.wparam == kListId) open_package(int(m.lparam));
  return 0;
}

void CBriskThemeList::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  ScreenFrame::background(p, t);
  if (current_) p.image_scaled(*current_, kCurrent);
  p.text(current_ ? u"当前主题" : u"当前主题：自定义",
         {kCurrent.right + 16, kCurrent.top, 470, kCurrent.bottom}, 28, t.bg_text_color,
         text::kLeft | text::kVCenter | text::kSingleLine);
  p.hline(kList.top - 1, 0, 480, t.line_color);
}

}  // namespace tavrin::screens
