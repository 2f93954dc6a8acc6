// Start-up and shut-down of the application object with a stand-in engine:
// the order of the steps, each failure path, and the paths formed from the
// install folder. The client runs headless and is driven by a script.
#include "shell/app.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/image.h"
#include "platform/message_box.h"
#include "platform/pixel_buffer.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "shell/app_paths.h"
#include "shell/theme_colors.h"
#include "temp_dir.h"

using namespace tavrin;
using namespace tavrin::shell;

namespace {

struct FakeEngine {
  std::vector<std::string> calls;
  int init_result = 1;
  EngineLink link() {
    return {[this] {
              calls.push_back("init");
              return init_result;
            },
            [this] { calls.push_back("loginout"); }, [this] { calls.push_back("terminate"); }};
  }
};

struct Install {
  TempDir dir;
  explicit Install(bool with_font = true) {
    if (with_font) {
      std::filesystem::create_directories(dir.path / "DB");
      std::ofstream(dir.path / "DB" / "HZK20.FT", std::ios::binary) << std::string(60 * 100, '\0');
    }
  }
  AppOptions options(const std::string& script) {
    std::ofstream(dir.path / "script.txt") << script;
    AppOptions o;
    o.headless = true;
    o.script = dir.file("script.txt");
    o.instance_dir = dir.path;
    o.install_folder = dir.path;
    return o;
  }
};

// The OK button of the system message box.
const std::string kTapOk = "tap " +
                           std::to_string((platform::message_box_layout::kButtonLeft +
                                           platform::message_box_layout::kButtonRight) /
                                          2) +
                           " " +
                           std::to_string((platform::message_box_layout::kButtonTop +
                                           platform::message_box_layout::kButtonBottom) /
                                          2) +
                           "\n";

uint32_t pixel(const platform::ArgbImage& img, int x, int y) {
  return img.pixels[size_t(y) * size_t(img.width) + size_t(x)];
}

// The ARGB a 0x00BBGGRR colour shows as after a trip through RGB565.
uint32_t shown(uint32_t bgr) {
  const uint16_t v = platform::bgr_to_565(bgr);
  const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
  return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
         ((b << 3) | (b >> 2));
}

}  // namespace

TEST(App, StartsInOrderShowsTheTaskBarOverTheThemeAndShutsDownInOrder) {
  Install install;
  ThemeColors theme;
  theme.bg_color = 0x0000FF;  // red, with no background image to cover it
  theme.main_bk_path = u"Theme/none.png";
  theme.bk_path = u"\\Disk\\BriskUI\\Theme\\none.png";
  ASSERT_TRUE(save_theme(install.dir.path / "BriskLibTavrinTheme.xml", theme));
  FakeEngine engine;
  CBriskLibTavrinApp app(
      install.options("screenshot " + install.dir.file("shot.png") + "\nquit 0\n"), engine.link());
  EXPECT_EQ(app.run(), 0);
  EXPECT_EQ(engine.calls, (std::vector<std::string>{"init", "loginout", "terminate"}));
  // Paths follow the install folder.
  const std::u16string base = from_path(install.dir.path) + u"/";
  EXPECT_EQ(app_paths().install_folder, base);
  EXPECT_EQ(app_paths().database_path, base + u"DB/TavrinLog.db");
  EXPECT_EQ(app_paths().font_file_path, base + u"DB/HZK20.FT");
  EXPECT_EQ(app_paths().theme_folder, base + u"Theme/");
  EXPECT_EQ(app_paths().sounds_folder, base + u"Sounds/");
  EXPECT_TRUE(bitmap_font().loaded());
  EXPECT_EQ(theme_colors().bg_color, 0x0000FFu);
  auto shot = platform::decode_png_file(install.dir.file("shot.png"));
  ASSERT_TRUE(shot);
  ASSERT_EQ(shot->width, 480);
  ASSERT_EQ(shot->height, 800);
  EXPECT_EQ(pixel(*shot, 2, 40), shown(0x382820));     // the task bar
  EXPECT_EQ(pixel(*shot, 240, 400), shown(0x0000FF));  // the window below it
  EXPECT_EQ(pixel(*shot, 479, 799), shown(0x0000FF));
}

TEST(App, EngineFailureShowsItsMessageAndEndsWithoutAWindow) {
  Install install;
  FakeEngine engine;
  engine.init_result = 0;
  CBriskLibTavrinApp app(
      install.options("screenshot " + install.dir.file("box.png") + "\n" + kTapOk), engine.link());
  bool main_window_ran = false;
  app.set_main_window([&](CBriskLibTavrinApp&) {
    main_window_ran = true;
    return 0;
  });
  EXPECT_EQ(app.run(), kExitEngineFailed);
  EXPECT_FALSE(main_window_ran);
  // Stopped, but never logged out: it never ran.
  EXPECT_EQ(engine.calls, (std::vector<std::string>{"init", "terminate"}));
  EXPECT_TRUE(std::filesystem::exists(install.dir.file("box.png")));
}

TEST(App, MissingFontIsReportedWithItsPathAndTheClientRunsOn) {
  Install install(/*with_font=*/false);
  FakeEngine engine;
  CBriskLibTavrinApp app(install.options(kTapOk), engine.link());
  int main_window_runs = 0;
  app.set_main_window([&](CBriskLibTavrinApp& a) {
    ++main_window_runs;
    // The main window is what runs now: the task-bar icon exists and the
    // engine was started before it.
    EXPECT_NE(a.task_bar_icon(), 0u);
    EXPECT_EQ(engine.calls, std::vector<std::string>{"init"});
    return 7;
  });
  EXPECT_EQ(app.run(), 7);
  EXPECT_EQ(main_window_runs, 1);
  EXPECT_FALSE(bitmap_font().loaded());
  EXPECT_EQ(engine.calls, (std::vector<std::string>{"init", "loginout", "terminate"}));
}

TEST(App, BadScriptEndsBeforeTheEngineStarts) {
  Install install;
  FakeEngine engine;
  CBriskLibTavrinApp app(install.options("tap 1\n"), engine.link());
  EXPECT_EQ(app.run(), kExitScriptFailed);
  EXPECT_TRUE(engine.calls.empty());
}

TEST(AppPaths, DevicePathsOfAThemeResolveBelowTheInstallFolder) {
  const AppPaths p = AppPaths::form("/opt/tavrin");
  EXPECT_EQ(p.install_folder, u"/opt/tavrin/");
  EXPECT_EQ(p.resolve(u"\\Disk\\BriskUI\\Theme\\bk.png"), "/opt/tavrin/Theme/bk.png");
  EXPECT_EQ(p.resolve(u"Theme\\蓝\\bk.png").string(), "/opt/tavrin/Theme/蓝/bk.png");
  EXPECT_EQ(p.resolve(u"/srv/pictures/a.png"), "/srv/pictures/a.png");
  EXPECT_EQ(p.settings_file(), "/opt/tavrin/BriskLibTavrinSetting.xml");
  EXPECT_EQ(p.theme_file(), "/opt/tavrin/BriskLibTavrinTheme.xml");
  // Before start-up the device's own folder stands.
  EXPECT_EQ(AppPaths{}.database_path, u"\\Disk\\BriskUI\\DB\\TavrinLog.db");
}

// A theme file keeps paths below the install folder relative to it, from
// the device's folder (old files) or ours, and every other path as it is;
// what it keeps resolves to the same file.
TEST(AppPaths, ThemePathsAreStoredRelativeToTheInstallFolder) {
  const AppPaths p = AppPaths::form("/opt/tavrin");
  const struct {
    std::u16string given, stored;
  } cases[] = {
      {u"\\Disk\\BriskUI\\Theme\\bk.png", u"Theme\\bk.png"},
      {u"/opt/tavrin/Theme/Sakura/bk.png", u"Theme\\Sakura\\bk.png"},
      {u"Theme\\蓝\\bk.png", u"Theme\\蓝\\bk.png"},
      {u"/home/user/Pictures/sea.jpg", u"/home/user/Pictures/sea.jpg"},
      {u"/opt/tavrinX/bk.png", u"/opt/tavrinX/bk.png"},  // a neighbour, not below
  };
  for (const auto& c : cases) {
    EXPECT_EQ(p.stored(c.given), c.stored) << platform::utf16_to_utf8(c.given);
    EXPECT_EQ(p.resolve(p.stored(c.given)), p.resolve(c.given)) << platform::utf16_to_utf8(c.given);
  }
}

TEST(App, TappingTheTaskBarIconBringsTheMainWindowBack) {
  Install install;
  FakeEngine engine;
  CBriskLibTavrinApp app(install.options(""), engine.link());
  app.set_main_window([&](CBriskLibTavrinApp& a) {
    auto& ws = a.windows();
    platform::WindowSpec spec;
    spec.rect = platform::Rect::from_size(0, 52, 480, 800);
    spec.title = u"BriskTavrin";
    const platform::WindowId main = ws.create(spec);
    spec.title = u"Other";
    const platform::WindowId other = ws.create(spec);
    ws.move(main, platform::Rect::from_size(0, 300, 100, 100));
    ws.set_active(other);
    ws.set_foreground(false);
    // The main window shows the icon while it is inactive.
    ws.show(a.task_bar_icon(), true);
    const platform::Rect icon = ws.screen_rect(a.task_bar_icon());
    EXPECT_EQ(icon, platform::Rect::from_size(130, 3, 33, 33));
    ws.stylus(platform::StylusAction::kDown, {icon.left + 5, icon.top + 5});
    ws.stylus(platform::StylusAction::kUp, {icon.left + 5, icon.top + 5});
    EXPECT_EQ(ws.active(), main);
    EXPECT_TRUE(ws.foreground());
    EXPECT_EQ(ws.screen_rect(main), platform::Rect::from_size(0, 52, 480, 800));
    ws.destroy(other);
    ws.destroy(main);
    return 0;
  });
  EXPECT_EQ(app.run(), 0);
}
