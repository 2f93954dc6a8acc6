// The appearance screen: the slider mapping from the pen's x, where each
// item's value goes (working copy or the live theme), "保存" writing the
// theme file, and the background entries through the file picker.
#include "platform/text_codec.h"
#include "screens/theme/CBriskThemeSet.h"
#include "shell/app_paths.h"
#include "shell/theme_colors.h"
#include "shell/theme_presets.h"
#include "theme_fixture.h"

namespace tavrin::test {
namespace {

using screens::CBriskThemeSet;

class ThemeSetTest : public ThemeScreenTest {
 protected:
  void tap_item(int item) {
    const auto r = CBriskThemeSet::cell(item - 1);
    tap_window(r.left + 80, r.top + 26);
  }
  void tap_slider(int slider, int x) {
    const auto r = CBriskThemeSet::slider_row(slider);
    tap_window(x, r.top + 25);
  }
};

TEST(SliderMappingTest, PenXGivesTheComponent) {
  struct Case {
    int x, value;
  };
  for (const Case c : {Case{50, 0}, Case{99, 0}, Case{100, 0}, Case{228, 128}, Case{355, 255},
                       Case{356, 255}, Case{400, 255}})
    EXPECT_EQ(screens::slider_value(c.x), c.value) << c.x;
  EXPECT_EQ(screens::join_colour({1, 2, 3}), 1u + 2u * 256 + 3u * 65536);
}

TEST_F(ThemeSetTest, SlidersSetTheSelectedItemWhereItBelongs) {
  const shell::ThemeColors before = shell::theme_colors();
  CBriskThemeSet dlg;
  inside_modal([&] {
    EXPECT_EQ(dlg.selected_item(), 1);
    // Item 1 (背景颜色) lives in the working copy until "保存".
    tap_slider(0, 50);
    EXPECT_EQ(dlg.components().red, 0);
    tap_slider(0, 228);
    EXPECT_EQ(dlg.components().red, 128);
    tap_slider(1, 400);
    EXPECT_EQ(dlg.components().green, 255);
    tap_slider(2, 50);
    EXPECT_EQ(dlg.working().bg_color, 128u + 255u * 256u);
    EXPECT_EQ(shell::theme_colors().bg_color, before.bg_color);
    // Item 7 (EDIT背景色) goes into the live theme at once.
    tap_item(7);
    EXPECT_EQ(dlg.selected_item(), 7);
    tap_slider(0, 50);
    EXPECT_EQ(shell::theme_colors().edit_bk_color, 0xFFFF00u);
    EXPECT_EQ(golden_shot("theme_set_colours"), "");
    // A drag follows the pen.
    const int y = CBriskThemeSet::slider_row(1).top + 52 + 25;
    down(300, y);
    move(150, y + 80);  // off the row: the slider still holds the pen
    up(150, y + 80);
    settle();
    EXPECT_EQ(dlg.components().green, 50);
    tap(kRightKey);
  });
  EXPECT_EQ(dlg.run_modal(), 0);
  // Without "保存" the file keeps nothing.
  EXPECT_FALSE(std::filesystem::exists(shell::app_paths().theme_file()));
}

TEST_F(ThemeSetTest, SaveWritesTheThemeFile) {
  CBriskThemeSet dlg;
  inside_modal([&] {
    tap_item(10);  // 按钮文字
    tap_slider(0, 50);
    tap_slider(1, 50);
    tap_slider(2, 50);
    tap(kLeftKey);  // 保存
    tap(kRightKey);
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  EXPECT_EQ(shell::theme_colors().btn_text_color, 0u);
  shell::ThemeColors read;
  ASSERT_TRUE(shell::load_theme(shell::app_paths().theme_file(), read));
  // The backgrounds are kept relative to the install folder: the same files.
  shell::ThemeColors live = shell::theme_colors();
  for (auto* path : {&live.bk_path, &live.login_bk_path, &live.msg_bk_path, &live.main_bk_path})
    *path = shell::app_paths().stored(*path);
  EXPECT_EQ(read, live);
  EXPECT_EQ(read.main_bk_path, u"Theme\\bk.png");
}

TEST_F(ThemeSetTest, BackgroundEntriesChooseFilesThroughThePicker) {
  const auto pictures = data.path / "pictures";
  std::filesystem::create_directories(pictures);
  std::filesystem::copy_file(install / "Theme" / "bk.png", pictures / "beach.PNG");
  CBriskThemeSet dlg;
  dlg.set_picker_root(pictures);
  inside_modal([&] {
    tap_window(240, CBriskThemeSet::cell(CBriskThemeSet::kBackgroundsCell).top + 20);
    EXPECT_EQ(dlg.page(), 1);
    EXPECT_EQ(golden_shot("theme_set_backgrounds"), "");
    inside_modal([&] {
      // The picker: the one image, then 确定.
      tap(300, 112 + 45);
      tap(kLeftKey);
    });
    tap_window(240, CBriskThemeSet::background_row(1).top + 40);  // 主界面背景图
    EXPECT_EQ(dlg.working().main_bk_path, shell::from_path(pictures / "beach.PNG"));
    tap(kLeftKey);   // 保存
    tap(kRightKey);  // back to the colours
    tap(kRightKey);
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  EXPECT_EQ(shell::theme_colors().main_bk_path, shell::from_path(pictures / "beach.PNG"));
}

// The picker opens where the background being changed lies (a photo kept
// from an earlier run), and after a pick where that pick was; not at the
// device's root each time.
TEST_F(ThemeSetTest, ThePickerOpensInTheFolderOfThePictureBeingChanged) {
  const auto root = data.path / "device";
  const auto trips = root / "Pictures" / "Trips";
  std::filesystem::create_directories(trips);
  std::filesystem::copy_file(install / "Theme" / "bk.png", trips / "beach.png");
  shell::theme_colors().main_bk_path = shell::from_path(trips / "beach.png");
  CBriskThemeSet dlg;
  dlg.set_picker_root(root);
  std::vector<std::u16string> shown;
  inside_modal([&] {
    tap_window(240, CBriskThemeSet::cell(CBriskThemeSet::kBackgroundsCell).top + 20);
    for (const int row : {1, 2}) {  // 主界面背景图 (the photo's), then 聊天背景图 (the last pick's)
      inside_modal([&] {
        settle();
        std::u16string texts;
        for (const auto& d : design->take()) texts += d.text + u"|";
        shown.push_back(texts);
        tap(300, 112 + 45);  // the one picture
        tap(kLeftKey);
      });
      tap_window(240, CBriskThemeSet::background_row(row).top + 40);
    }
    EXPECT_EQ(dlg.working().msg_bk_path, shell::from_path(trips / "beach.png"));
    tap(kRightKey);
    tap(kRightKey);
  });
  dlg.run_modal();
  ASSERT_EQ(shown.size(), 2u);
  for (const auto& texts : shown)
    EXPECT_NE(texts.find(u"|beach.png|"), std::u16string::npos) << platform::utf16_to_utf8(texts);
}

TEST_F(ThemeSetTest, HighContrastPresetLooksRight) {
  for (const auto& p : shell::theme_presets())
    if (p.name == "HighContrast") shell::apply_preset(p, shell::theme_colors());
  CBriskThemeSet dlg;
  inside_modal([&] {
    EXPECT_EQ(golden_shot("theme_set_high_contrast"), "");
    tap(kRightKey);
  });
  dlg.run_modal();
}

}  // namespace
}  // namespace tavrin::test
