#include "screens/theme/CBriskThemeSet.h"

#include <cstdio>

#include "screens/files/CBriskOpenFileDlg.h"
#include "screens/files/ScreenFrame.h"
#include "screens/theme/CBriskThemeList.h"
#include "platform/text_codec.h"
#include "shell/app_paths.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr char16_t kTitle[] = u"主题设置";
constexpr const char16_t* kSliderNames[] = {u"红", u"绿", u"蓝"};
constexpr const char16_t* kBackgroundNames[] = {u"登陆界面背景", u"主界面背景图", u"聊天界面背景",
                                                u"更多主题"};

// A background as the user's own file: its folder and name ("…/Theme/bk.png"),
// never the theme file's device form of it.
std::u16string file_caption(std::u16string_view theme_path) {
  const std::filesystem::path file = shell::app_paths().resolve(theme_path);
  const std::filesystem::path folder = file.parent_path().filename();
  if (folder.empty()) return shell::from_path(file);
  return u"…/" + shell::from_path(folder / file.filename());
}

std::u16string* background_path(shell::ThemeColors& t, int row) {
  switch (row) {
    case 0:
      return &t.login_bk_path;
    case 1:
      return &t.main_bk_path;
    case 2:
      return &t.msg_bk_path;
    default:
      return nullptr;
  }
}

}  // namespace

CBriskThemeSet::CBriskThemeSet(controls::UiContext ui)
    : controls::Screen({.class_name = "CBriskThemeSet", .title = kTitle}, std::move(ui)),
      working_(*this->ui().theme),
      picker_root_(device_root()),
      picker_start_(start_folder()),
      install_folder_(shell::to_path(shell::app_paths().install_folder)) {}

CBriskThemeSet::~CBriskThemeSet() {
  destroy();
}

int CBriskThemeSet::run_modal() {
  controls::Screen::run_modal();
  destroy();
  return saved_ ? 1 : 0;
}

uint32_t CBriskThemeSet::item_value(int item) const {
  if (item < 1 || item > kColourItemCount) return 0;
  const ColourItem& c = kColourItems[item - 1];
  return (c.live ? theme() : working_).*(c.value);
}

void CBriskThemeSet::set_item_value(int item, uint32_t value) {
  if (item < 1 || item > kColourItemCount) return;
  const ColourItem& c = kColourItems[item - 1];
  (c.live ? *ui().theme : working_).*(c.value) = value;
}

void CBriskThemeSet::select_item(int item) {
  if (item < 1 || item > kColourItemCount) return;
  selected_ = item;
  repaint();
}

void CBriskThemeSet::set_component(int slider, int pen_x) {
  Rgb rgb = components();
  const int v = slider_value(pen_x);
  (slider == 0 ? rgb.red : slider == 1 ? rgb.green : rgb.blue) = v;
  set_item_value(selected_, join_colour(rgb));
  repaint();
}

void CBriskThemeSet::save() {
  shell::ThemeColors& live = *ui().theme;
  for (int item = 1; item <= kColourItemCount; ++item) {
    const ColourItem& c = kColourItems[item - 1];
    if (!c.live) live.*(c.value) = working_.*(c.value);
  }
  live.bk_path = working_.bk_path;
  live.login_bk_path = working_.login_bk_path;
  live.main_bk_path = working_.main_bk_path;
  live.msg_bk_path = working_.msg_bk_path;
  if (shell::save_theme(shell::app_paths().theme_file(), live))
    saved_ = true;
  else
    std::fprintf(stderr, "tavrin: cannot write the theme file\n");
  repaint();
}

void CBriskThemeSet::choose_background(int row) {
  std::u16string* path = background_path(working_, row);
  if (!path) return;
  // The picker opens where the picture now under this screen lies (the
  // user's own, kept from an earlier run), else where the last pick was.
  std::filesystem::path start = picker_start_;
  std::error_code ec;
  const auto current = shell::app_paths().resolve(*path);
  const auto below_root = current.parent_path().lexically_relative(picker_root_);
  if (!path->empty() && shell::app_paths().is_own_picture(current) && !below_root.empty() &&
      *below_root.begin() != ".." && std::filesystem::is_directory(current.parent_path(), ec))
    start = current.parent_path();
  CBriskOpenFileDlg picker(picker_root_, ui(), start);
  picker.set_owner(window());
  if (picker.run_modal() == 1) {
    *path = shell::from_path(picker.result());
    picker_start_ = picker.result().parent_path();
  }
  repaint();
}

void CBriskThemeSet::more_themes() {
  CBriskThemeList list(install_folder_, ui());
  list.set_owner(window());
  if (list.run_modal() == 1) {
    // The package brought its own theme file: edit from there on.
    working_ = *ui().theme;
    saved_ = true;
  }
  repaint();
}

void CBriskThemeSet::on_command(int command) {
  if (command == kSave) return save();
  if (command == kBack) {
    if (page_ == 1) {
      page_ = 0;
      return repaint();
    }
    end_modal(saved_ ? 1 : 0);
  }
}

void CBriskThemeSet::on_stylus(StylusAction action, Point client) {
  if (page_ == 0) {
    if (action == StylusAction::kDown)
      for (int i = 0; i < 3; ++i)
        if (slider_row(i).contains(client)) dragging_ = i;
    if (dragging_ >= 0) {
      set_component(dragging_, client.x);
      if (action == StylusAction::kUp) dragging_ = -1;
      return;
    }
  }
  if (action != StylusAction::kUp) return;
  if (page_ == 0) {
    for (int i = 0; i <= kSaveCell; ++i) {
      if (!cell(i).contains(client)) continue;
      if (i == kSaveCell) {
        save();
      } else if (i == kBackgroundsCell) {
        page_ = 1;
        repaint();
      } else {
        select_item(i + 1);
      }
      return;
    }
  } else {
    for (int i = 0; i < 4; ++i) {
      if (!background_row(i).contains(client)) continue;
      if (i == 3)
        more_themes();
      else
        choose_background(i);
      return;
    }
  }
}

void CBriskThemeSet::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  set_frame({.title = page_ == 0 ? kTitle : u"设置背景",
             .keys = {{u"保存", controls::kLeftKey, kSave},
                      {page_ == 0 ? u"退出" : u"返回", controls::kRightKey, kBack}}});
  ScreenFrame::background(p, t);
  if (page_ == 0)
    paint_colours(p);
  else
    paint_backgrounds(p);
}

void CBriskThemeSet::paint_colours(gfx::Painter& p) {
  const auto& t = theme();
  const unsigned line = text::kLeft | text::kVCenter | text::kSingleLine;
  for (int i = 0; i <= kSaveCell; ++i) {
    const Rect r = cell(i).inset(2);
    const bool item = i < kColourItemCount;
    if (item && i + 1 == selected_) p.fill_rounded(r, t.list_bk_color, t.list_bg_alpha);
    if (item) {
      const Rect swatch{r.left + 6, r.top + 9, r.left + 30, r.bottom - 9};
      p.fill_rect(swatch, item_value(i + 1), 255);
      p.draw_frame(swatch, t.line_color);
      p.text(kColourItems[i].name, {r.left + 36, r.top, r.right - 2, r.bottom}, 22, t.bg_text_color,
             line);
    } else {
      p.fill_rounded(r, t.btn_bk_color, t.btn_bg_alpha);
      p.text(i == kSaveCell ? u"保存" : u"修改背景图片", r, 22, t.btn_text_color,
             text::kCenter | text::kVCenter | text::kSingleLine);
    }
  }
  // The sliders of the selected item.
  const Rgb rgb = components();
  const int values[] = {rgb.red, rgb.green, rgb.blue};
  const uint32_t inks[] = {0x0000FF, 0x00FF00, 0xFF0000};
  for (int i = 0; i < 3; ++i) {
    const Rect row = slider_row(i);
    p.text(kSliderNames[i], {20, row.top, 80, row.bottom}, 26, t.bg_text_color, line);
    const int mid = (row.top + row.bottom) / 2;
    p.fill_rounded({100, mid - 5, 356, mid + 5}, t.line_color, 255);
    p.fill_rounded({100, mid - 5, slider_x(values[i]), mid + 5}, inks[i], 255);
    const int x = slider_x(values[i]);
    p.fill_rounded({x - 10, row.top + 5, x + 10, row.bottom - 5}, t.btn_bk_color, 255);
    p.draw_rounded_frame({x - 10, row.top + 5, x + 10, row.bottom - 5}, t.line_color);
    p.text(platform::utf8_to_utf16(std::to_string(values[i])), {376, row.top, 470, row.bottom}, 26,
           t.bg_text_color, line);
  }
  // The preview: the look as it stands, working copy and live values.
  auto v = [&](uint32_t shell::ThemeColors::*field) {
    for (const ColourItem& c : kColourItems)
      if (c.value == field) return (c.live ? t : working_).*field;
    return t.*field;
  };
  using T = shell::ThemeColors;
  p.fill_rect(kPreview, v(&T::bg_color), 255);
  p.draw_frame(kPreview, v(&T::line_color));
  p.text(u"文字", {kPreview.left + 8, kPreview.top, kPreview.left + 70, kPreview.bottom}, 24,
         v(&T::bg_text_color), line);
  const Rect bar{kPreview.left + 74, kPreview.top + 8, kPreview.left + 174, kPreview.bottom - 8};
  p.fill_rect(bar, v(&T::bottom_bk_color), 255);
  p.text(u"边栏", bar, 22, v(&T::bottom_text_color), text::kCenter | text::kVCenter);
  const Rect btn{bar.right + 8, bar.top, bar.right + 98, bar.bottom};
  p.fill_rounded(btn, v(&T::btn_bk_color), 255);
  p.text(u"按钮", btn, 22, v(&T::btn_text_color), text::kCenter | text::kVCenter);
  const Rect list{btn.right + 8, bar.top, btn.right + 98, bar.bottom};
  p.fill_rect(list, v(&T::list_bk_color), 255);
  p.text(u"列表", list, 22, v(&T::list_text_color), text::kCenter | text::kVCenter);
  const Rect menu{list.right + 8, bar.top, kPreview.right - 8, bar.bottom};
  p.fill_rect(menu, v(&T::menu_bk_color), 255);
  p.text(u"菜单", menu, 22, v(&T::menu_text_color), text::kCenter | text::kVCenter);
}

void CBriskThemeSet::paint_backgrounds(gfx::Painter& p) {
  const auto& t = theme();
  shell::ThemeColors& w = working_;
  for (int i = 0; i < 4; ++i) {
    const Rect r = background_row(i);
    p.fill_rounded(r, t.btn_bk_color, t.btn_bg_alpha);
    p.text(kBackgroundNames[i], {r.left + 16, r.top + 6, r.right - 10, r.top + 40}, 28,
           t.btn_text_color, text::kLeft | text::kVCenter | text::kSingleLine);
    if (const std::u16string* path = background_path(w, i))
      p.text(file_caption(*path),
             {r.left + 16, r.top + 44, r.right - 10, r.bottom - 6}, 20, t.btn_text_color,
             text::kLeft | text::kVCenter | text::kSingleLine);
  }
}

}  // namespace tavrin::screens
