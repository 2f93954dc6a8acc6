// CBriskThemeSet: the appearance screen. Page 0 is the colour editor: the
// nineteen colour items (ColourItems) and the entries "修改背景图片" and
// "保存" in a grid, three sliders (red, green, blue; the first track at
// y 435-485) that set the selected item's components from the pen's x,
// and a preview of the look being edited. Items 1-6 and 9-12 are edited in
// the screen's working copy and reach the live theme with "保存", the
// others reach the live theme at once. Page 1 ("设置背景") chooses the
// login, main and chat backgrounds through the file picker and opens the
// theme packages ("更多主题"). "保存" writes the theme file. The screen
// returns 1 when the theme was saved or a package installed, else 0.
// UI thread only.
#pragma once

#include <filesystem>

#include "controls/Screen.h"
#include "screens/theme/ColourItems.h"

namespace tavrin::screens {

class CBriskThemeSet : public controls::Screen {
 public:
  // Window coordinates. The grid: 3 columns x 7 rows of 160 x 52 cells,
  // items 1-19, then "修改背景图片" and "保存".
  static constexpr int kGridTop = 60;
  static constexpr int kCellWidth = 160;
  static constexpr int kCellHeight = 52;
  static constexpr int kBackgroundsCell = 19;
  static constexpr int kSaveCell = 20;
  static constexpr controls::Rect cell(int i) {
    return controls::Rect::from_size((i % 3) * kCellWidth, kGridTop + (i / 3) * kCellHeight,
                                     kCellWidth, kCellHeight);
  }
  // The sliders: red, green, blue rows; the pen anywhere on a row moves it.
  static constexpr int kSliderTop = 435;
  static constexpr int kSliderPitch = 60;
  static constexpr int kSliderHeight = 50;
  static constexpr controls::Rect slider_row(int i) {
    return {0, kSliderTop + i * kSliderPitch, 480, kSliderTop + i * kSliderPitch + kSliderHeight};
  }
  static constexpr controls::Rect kPreview{10, 616, 470, 682};
  // Page 1 rows: login, main, chat background, more themes.
  static constexpr controls::Rect background_row(int i) {
    return {20, 70 + i * 90, 460, 150 + i * 90};
  }

  explicit CBriskThemeSet(controls::UiContext ui = controls::UiContext::current());
  ~CBriskThemeSet() override;

  int run_modal();

  // Where the file picker starts (the device root unless set), and the
  // install folder whose Themes/ the package list reads.
  void set_picker_root(std::filesystem::path root) {
    picker_start_ = picker_root_ = std::move(root);
  }
  void set_install_folder(std::filesystem::path folder) { install_folder_ = std::move(folder); }

  int page() const { return page_; }
  int selected_item() const { return selected_; }
  Rgb components() const { return split_colour(item_value(selected_)); }
  const shell::ThemeColors& working() const { return working_; }
  bool saved() const { return saved_; }

  // The taps, as the screen handles them.
  void select_item(int item);                 // 1-19
  void set_component(int slider, int pen_x);  // 0 red, 1 green, 2 blue
  void save();
  void choose_background(int row);  // 0 login, 1 main, 2 chat
  void more_themes();

 protected:
  void on_paint(gfx::Painter& p) override;
  void on_stylus(platform::StylusAction action, controls::Point p) override;

 private:
  uint32_t item_value(int item) const;
  void set_item_value(int item, uint32_t value);
  void paint_colours(gfx::Painter& p);
  void paint_backgrounds(gfx::Painter& p);

  shell::ThemeColors working_;
  std::filesystem::path picker_root_, picker_start_, install_folder_;
  int page_ = 0;
  int selected_ = 1;
  int dragging_ = -1;  // the slider the pen holds
  bool saved_ = false;
};

}  // namespace tavrin::screens
