// The main window and the appearance screens, through the real screens in a
// scratch install folder: a theme package applied from the main window's
// 设置 menu shows at once as it would after a restart, and a main
// background chosen in the file picker and saved is what the list lies on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "main_window_fixture.h"
#include "mainwnd/main_menus.h"
#include "platform/image.h"
#include "screens/router/ScreenRouter.h"
#include "screens/theme/CBriskThemeList.h"
#include "screens/theme/CBriskThemeSet.h"
#include "screens/theme/ThemePackages.h"
#include "shell/app_paths.h"
#include "shell/theme_colors.h"
#include "test_pictures.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;
using namespace platform;
using screens::CBriskThemeSet;
using Frame = std::vector<uint16_t>;

constexpr Point kSettingsKey{432, 775};
constexpr uint32_t kRed = 0xFFFF0000;  // ARGB

class MainTheme : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    install = use_scratch_install();  // packages unpack there
    // The file picker starts in the user's home: a folder of pictures.
    pictures = data.path / "pictures";
    fs::create_directories(pictures);
    if (const char* home = std::getenv("HOME")) old_home = home;
    setenv("HOME", pictures.c_str(), 1);
    screens::wire_screens();
  }
  void TearDown() override {
    screens::ScreenRouter::instance().clear();
    if (old_home)
      setenv("HOME", old_home->c_str(), 1);
    else
      unsetenv("HOME");
    MainWindowTest::TearDown();
  }

  // 设置 → 主题设置, with the appearance screen driven by `steps`.
  void appearance(const std::function<void()>& steps) {
    tap(kSettingsKey);
    ASSERT_TRUE(main->menu().shown());
    // The menu posts its choice: the steps queue behind it.
    const Point theme = menu_item(int(mainwnd::SettingsItem::kTheme));
    down(theme.x, theme.y);
    up(theme.x, theme.y);
    inside_modal(steps);
    settle();
  }
  // On the appearance screen: 更多主题 and the named package applied.
  void install_package(std::u16string_view name) {
    tap_window(240, CBriskThemeSet::cell(CBriskThemeSet::kBackgroundsCell).top + 20);
    inside_modal([&] {  // the package list
      int row = -1;
      const auto& packages = screens::list_theme_packages(install);
      for (size_t i = 0; i < packages.size(); ++i)
        if (packages[i].name == name) row = int(i);
      ASSERT_GE(row, 0);
      const int y = screens::CBriskThemeList::kList.top + 52 + row * 90 + 45;
      down(240, y);
      up(240, y);
      inside_modal([&] { tap(kLeftKey); });  // the preview: 应用
      settle();
      tap(kLeftKey);  // 确定 closes the list
    });
    tap_window(240, CBriskThemeSet::background_row(3).top + 40);  // 更多主题
  }
  // On the appearance screen, the picker's steps queued: 主界面背景图, then
  // 保存, back to the colours and 退出.
  void choose_main_background_and_save() {
    tap_window(240, CBriskThemeSet::background_row(1).top + 40);
    tap(kLeftKey);
    tap(kRightKey);
    tap(kRightKey);
  }
  // What the main window shows when the client starts again now.
  Frame after_restart() {
    main->destroy();
    mainwnd::CBriskLibTavrin::Options options;
    options.sign_in = [] { return true; };  // the session goes on
    mainwnd::CBriskLibTavrin again(std::move(options));
    EXPECT_TRUE(again.start());
    settle();
    return display->frame();
  }
  // Whether the display pixel is mostly red (the chosen picture under the
  // shade that keeps the list's texts readable on it).
  bool reddish(int x, int y) const {
    const uint16_t p = display->frame()[size_t(y * Display::kWidth + x)];
    return (p >> 11) >= 8 && ((p >> 5) & 0x3F) < 8 && (p & 0x1F) < 4;
  }

  fs::path install, pictures;
  std::optional<std::string> old_home;
};

TEST_F(MainTheme, APackageShowsEverywhereAtOnce) {
  open_main();
  const Frame classic = display->frame();
  appearance([&] {
    install_package(u"Sakura");
    tap(kRightKey);  // back to the colours
    tap(kRightKey);  // 退出
  });
  const Frame applied = display->frame();
  EXPECT_NE(applied, classic);
  EXPECT_EQ(golden(TAVRIN_MAINWND_GOLDEN_DIR, TAVRIN_MAINWND_SHOT_DIR, "theme_sakura"), "");
  EXPECT_EQ(applied, after_restart());
}

TEST_F(MainTheme, AMainBackgroundChosenAndSavedIsWhatTheListLiesOn) {
  ArgbImage red{480, 800, std::vector<uint32_t>(480 * 800, kRed)};
  ASSERT_TRUE(save_png_argb((pictures / "red.png").string(), red));
  open_main();
  appearance([&] {
    install_package(u"Forest");
    inside_modal([&] {  // the picker: the one picture, then 确定
      tap(300, 112 + 45);
      tap(kLeftKey);
    });
    choose_main_background_and_save();
  });
  EXPECT_EQ(shell::theme_colors().main_bk_path, shell::from_path(pictures / "red.png"));
  shell::ThemeColors saved;
  ASSERT_TRUE(shell::load_theme(shell::app_paths().theme_file(), saved));
  EXPECT_EQ(saved.main_bk_path, shell::theme_colors().main_bk_path);  // the next run's too
  EXPECT_TRUE(reddish(470, 400));
  EXPECT_EQ(golden(TAVRIN_MAINWND_GOLDEN_DIR, TAVRIN_MAINWND_SHOT_DIR, "theme_forest_red"), "");
  const Frame shown = display->frame();
  EXPECT_EQ(shown, after_restart());
}

// A photo as a phone's camera takes it (a JPEG of 12 megapixels) is a
// background like any picture: previewed, kept, and drawn fitted to the screen.
TEST_F(MainTheme, APhotoFromTheCameraBecomesTheMainBackground) {
  ASSERT_TRUE(write_jpeg((pictures / "photo.jpg").string(), 3024, 4032, 0xFF0000, 0xFF0000));
  open_main();
  const int boxes = boxes_answered;
  appearance([&] {
    install_package(u"Forest");
    inside_modal([&] {  // the picker: the photo, then 确定
      tap(300, 112 + 45);
      tap(kLeftKey);
    });
    choose_main_background_and_save();
  });
  EXPECT_EQ(boxes_answered, boxes) << "the photo was refused";
  EXPECT_EQ(shell::theme_colors().main_bk_path, shell::from_path(pictures / "photo.jpg"));
  EXPECT_TRUE(reddish(470, 400));
  EXPECT_TRUE(reddish(400, 640));
  const Frame shown = display->frame();
  EXPECT_EQ(shown, after_restart());
}

// The user's own photo under the main window: the list's names and the
// header read at 4.5:1 on every part of it (a shade under them), whatever
// the photo is: one colour against the names (orange under cyan), white,
// black, or light and dark halves. The design check judges each text on
// the darkest and the lightest pixels under it.
TEST_F(MainTheme, TextsReadOnAnyPhotoUnderTheMainWindow) {
  const struct {
    const char* name;
    uint32_t left, right;
  } photos[] = {
      {"orange", 0xFF8000, 0xFF8000},
      {"white", 0xFFFFFF, 0xFFFFFF},
      {"black-white", 0x000000, 0xFFFFFF},
      {"cyan-orange", 0x00FFFF, 0xFF8000},
  };
  for (const auto& photo : photos) {
    SCOPED_TRACE(photo.name);
    const fs::path file = pictures / (std::string(photo.name) + ".jpg");
    ASSERT_TRUE(write_jpeg(file.string(), 480, 800, photo.left, photo.right));
    shell::theme_colors().main_bk_path = shell::from_path(file);
    design.reset();
    design = std::make_unique<DesignCheck>(DesignCheck::kPictures);
    if (!main) {
      open_main();
    } else {  // the next start draws the new photo
      main->destroy();
      mainwnd::CBriskLibTavrin::Options options;
      options.sign_in = [] { return true; };  // the session goes on
      main = std::make_unique<mainwnd::CBriskLibTavrin>(std::move(options));
      ASSERT_TRUE(main->start());
    }
    settle();
    // One golden, to look at: the photo still shows beside the shaded texts.
    if (std::string(photo.name) == "cyan-orange")
      EXPECT_EQ(golden(TAVRIN_MAINWND_GOLDEN_DIR, TAVRIN_MAINWND_SHOT_DIR, "main_over_photo"), "");
    else
      EXPECT_EQ(design->faults(std::string("main window over ") + photo.name), "");
  }
}

// A picture the client cannot read (a JPEG cut short) is refused in the
// picker, and one a theme file names already leaves the theme's own
// background, never the bare background colour under the list's text.
TEST_F(MainTheme, APictureThatCannotBeDrawnNeverBecomesTheBackground) {
  const std::string jpeg = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00";
  { std::ofstream(pictures / "photo.jpg", std::ios::binary) << jpeg; }
  open_main();
  appearance([&] { install_package(u"Forest"), tap(kRightKey), tap(kRightKey); });
  const Frame forest = display->frame();
  const std::u16string forest_main = shell::theme_colors().main_bk_path;
  appearance([&] {
    tap_window(240, CBriskThemeSet::cell(CBriskThemeSet::kBackgroundsCell).top + 20);
    inside_modal([&] {  // the picker: the photo, 确定 is refused, 退出
      tap(300, 112 + 45);
      const int boxes = boxes_answered;
      tap(kLeftKey);
      EXPECT_EQ(boxes_answered, boxes + 1);
      tap(kRightKey);
    });
    choose_main_background_and_save();
  });
  EXPECT_EQ(shell::theme_colors().main_bk_path, forest_main);
  EXPECT_EQ(display->frame(), forest);
  // A theme file from before names the photo: the theme's background shows.
  shell::theme_colors().main_bk_path = shell::from_path(pictures / "photo.jpg");
  EXPECT_EQ(after_restart(), forest);
}

}  // namespace
}  // namespace tavrin::test
