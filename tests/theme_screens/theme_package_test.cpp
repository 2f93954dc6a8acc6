// Theme packages: the list of package folders, the built Sakura package
// installed through the list and preview screens (its colours on screen),
// and hostile packages (a ".." entry, an absolute path, a link out, a
// missing or broken image, a theme file that does not parse, files that are
// not the theme's) each refused whole, with nothing written anywhere.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "screens/theme/CBriskThemeList.h"
#include "screens/theme/CBriskThemePreview.h"
#include "screens/theme/CBriskThemeSet.h"
#include "screens/theme/ThemeInstaller.h"
#include "screens/theme/ThemePackages.h"
#include "shell/app_paths.h"
#include "shell/theme_presets.h"
#include "test_pictures.h"
#include "theme_fixture.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;
using screens::install_theme_package;
using test::write_png_bomb;

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
void write_file(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

// A theme file whose backgrounds are the given device-style path.
std::string theme_file(const std::string& background) {
  std::string x =
      "<?xml version=\"1.0\" ?>\n<BriskLibTavrinTheme><Colors>"
      "<BkColor BgColor=\"255.000000\" /><BottomColor /><MenuColor /><EditColor />"
      "<BtnColor /><ListColor /><MsgBoxColor /><AnimationColor />";
  for (const char* e : {"BkPath TavrinBkPath", "LoginBkPath TavrinLoginBkPath",
                        "MsgBkPath TavrinMsgBkPath", "MainBkPath TavrinMainBkPath"})
    x += std::string("<") + e + "=\"" + background + "\" />";
  return x + "</Colors></BriskLibTavrinTheme>\n";
}

class ThemePackageTest : public ThemeScreenTest {
 protected:
  // Packs stage (entries with '/' paths) into a cabinet with gcab; each
  // (from, to) rename then rewrites a stored name of the same length.
  fs::path make_cab(const std::vector<std::pair<std::string, std::string>>& files,
                    const std::vector<std::pair<std::string, std::string>>& renames = {}) {
    const fs::path stage = data.path / ("stage" + std::to_string(++made_));
    std::string names;
    for (const auto& [name, bytes] : files) {
      write_file(stage / name, bytes);
      names += " '" + name + "'";
    }
    const fs::path cab = data.path / ("package" + std::to_string(made_) + ".cab");
    const std::string cmd = "cd '" + stage.string() + "' && gcab --create '" + cab.string() + "'" +
                            names + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    fs::remove_all(stage);
    std::string bytes = read_file(cab);
    for (auto [from, to] : renames) {
      for (auto& c : from)
        if (c == '/') c = '\\';
      const size_t at = bytes.find(from + '\0');
      EXPECT_NE(at, std::string::npos) << from;
      EXPECT_EQ(from.size(), to.size());
      if (at != std::string::npos) bytes.replace(at, to.size(), to);
    }
    write_file(cab, bytes);
    return cab;
  }

  // A tar archive (libarchive reads any format) holding the theme file and
  // one symbolic link.
  fs::path make_tar_with_link(const std::string& link, const std::string& target) {
    std::string out;
    auto header = [&](const std::string& name, char type, size_t size,
                      const std::string& linkname) {
      std::array<char, 512> h{};
      std::snprintf(h.data(), 100, "%s", name.c_str());
      std::snprintf(h.data() + 100, 8, "%07o", 0644);
      std::snprintf(h.data() + 108, 8, "%07o", 0);
      std::snprintf(h.data() + 116, 8, "%07o", 0);
      std::snprintf(h.data() + 124, 12, "%011zo", size);
      std::snprintf(h.data() + 136, 12, "%011o", 0);
      h[156] = type;
      std::snprintf(h.data() + 157, 100, "%s", linkname.c_str());
      std::memcpy(h.data() + 257, "ustar", 6);
      std::memcpy(h.data() + 263, "00", 2);
      std::memset(h.data() + 148, ' ', 8);
      unsigned sum = 0;
      for (char c : h) sum += static_cast<unsigned char>(c);
      std::snprintf(h.data() + 148, 8, "%06o", sum);
      out.append(h.data(), h.size());
    };
    const std::string xml = theme_file("\\Disk\\BriskUI\\Theme\\bk.png");
    header("BriskLibTavrinTheme.xml", '0', xml.size(), "");
    out += xml;
    out.append((512 - xml.size() % 512) % 512, '\0');
    header(link, '2', 0, target);
    out.append(1024, '\0');
    const fs::path tar = data.path / "linked.cab";
    write_file(tar, out);
    return tar;
  }

  int made_ = 0;
};

TEST_F(ThemePackageTest, OnlyFoldersAreListed) {
  fs::create_directories(install / "Themes" / "Blue");
  write_file(install / "Themes" / "notes.txt", "not a package");
  const auto packages = screens::list_theme_packages(install);
  std::vector<std::u16string> names;
  for (const auto& p : packages) names.push_back(p.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Blue", u"Classic", u"Forest", u"Sakura"}));
  for (const auto& p : packages) {
    if (p.name == u"Blue") {
      EXPECT_EQ(p.folder, install / "Themes" / "Blue");
    }
  }
}

TEST_F(ThemePackageTest, SakuraInstallsThroughTheScreensAndItsColoursShow) {
  screens::CBriskThemeSet dlg;
  inside_modal([&] {
    tap_window(240,
               screens::CBriskThemeSet::cell(screens::CBriskThemeSet::kBackgroundsCell).top + 20);
    inside_modal([&] {  // the package list
      EXPECT_EQ(golden_shot("theme_list"), "");
      int row = -1;
      const auto& packages = screens::list_theme_packages(install);
      for (size_t i = 0; i < packages.size(); ++i)
        if (packages[i].name == u"Sakura") row = int(i);
      const int y = screens::CBriskThemeList::kList.top + 52 + row * 90 + 45;
      down(240, y);
      up(240, y);
      inside_modal([&] {  // the preview
        EXPECT_EQ(golden_shot("theme_preview_sakura"), "");
        tap(kLeftKey);  // 应用
      });
      settle();
      tap(kLeftKey);  // 确定 after the install closes the list, no second preview
    });
    tap_window(240, screens::CBriskThemeSet::background_row(3).top + 40);  // 更多主题
    tap(kRightKey);                                                        // back to the colours
    EXPECT_EQ(golden_shot("theme_set_sakura"), "");
    tap(kRightKey);
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  // The package's theme file is in place and is the live theme.
  shell::ThemeColors sakura;
  for (const auto& p : shell::theme_presets())
    if (p.name == "Sakura") shell::apply_preset(p, sakura);
  EXPECT_EQ(shell::theme_colors().bg_color, sakura.bg_color);
  EXPECT_EQ(shell::theme_colors().main_bk_path, u"Theme\\Sakura\\bk.png");
  EXPECT_TRUE(fs::exists(install / "Theme" / "Sakura" / "bk.png"));
  EXPECT_TRUE(fs::exists(install / "BriskLibTavrinTheme.xml"));
}

TEST_F(ThemePackageTest, HostilePackagesAreRefusedWholeWithNothingWritten) {
  const std::string png = read_file(install / "Theme" / "BtnSel.png");
  const std::string good_theme = theme_file("\\Disk\\BriskUI\\Theme\\bk.png");
  EXPECT_TRUE(write_png_bomb((data.path / "bomb.png").string(), 16384));
  const std::string bomb = read_file(data.path / "bomb.png");
  struct Case {
    const char* what;
    fs::path package;
    std::u16string refusal;
  };
  const std::u16string outside = u"主题包中有文件指向安装目录之外，未安装。";
  const std::u16string no_theme = u"主题包的主题文件无法读取，未安装。";
  const std::vector<Case> cases = {
      {"a .. entry",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"xx/evil.png", png}},
                {{"xx/evil.png", "..\\evil.png"}}),
       outside},
      {"a .. step inside",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"Theme/xx/xx/xx/evil.png", png}},
                {{"Theme/xx/xx/xx/evil.png", "Theme\\..\\..\\..\\evil.png"}}),
       outside},
      {"an absolute path",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"xevil.png", png}},
                {{"xevil.png", "\\evil.png"}}),
       outside},
      {"a drive",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"xxxevil.png", png}},
                {{"xxxevil.png", "C:\\evil.png"}}),
       outside},
      {"a link out", make_tar_with_link("Theme/evil.png", "../../../evil.png"),
       u"主题包中含有链接，未安装。"},
      {"a missing image",
       make_cab({{"BriskLibTavrinTheme.xml", theme_file("\\Disk\\BriskUI\\Theme\\Evil\\bk.png")},
                 {"Theme/BtnSel.png", png}}),
       u"主题包缺少可用的图片 Theme/Evil/bk.png，未安装。"},
      {"a broken image",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"Theme/BtnSel.png", "not a png"}}),
       u"主题包缺少可用的图片 Theme/BtnSel.png，未安装。"},
      {"a skin image of 40 KB claiming 16384 x 16384 pixels",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"Theme/BtnSel.png", bomb}}),
       u"主题包中的图片 Theme/BtnSel.png 过大（最多 4096×4096 像素、32 MB），未安装。"},
      {"a theme file that does not parse",
       make_cab({{"BriskLibTavrinTheme.xml", "<BriskLibTavrinTheme><Colors>"},
                 {"Theme/BtnSel.png", png}}),
       no_theme},
      {"no theme file", make_cab({{"Theme/BtnSel.png", png}}), no_theme},
      {"a background outside the theme folder",
       make_cab({{"BriskLibTavrinTheme.xml", theme_file("\\Disk\\BriskUI\\DB\\TavrinLog.db")}}),
       u"主题包缺少可用的图片 \\Disk\\BriskUI\\DB\\TavrinLog.db，未安装。"},
      {"an image outside the theme folder",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"Sounds/x.png", png}}),
       u"主题包中含有主题以外的文件 Sounds/x.png，未安装。"},
      {"a file of another kind in the theme folder",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"Theme/notes.txt", "hello"}}),
       u"主题包中含有主题以外的文件 Theme/notes.txt，未安装。"},
      {"two files of one name",
       make_cab({{"BriskLibTavrinTheme.xml", good_theme},
                 {"Theme/BtnSel.png", png},
                 {"Theme/BtnSex.png", png}},
                {{"Theme/BtnSex.png", "Theme\\BtnSel.png"}}),
       u"主题包中含有无法安装的文件，未安装。"},
      {"not an archive",
       [&] {
         write_file(data.path / "junk.cab", "MSCF but not really");
         return data.path / "junk.cab";
       }(),
       u"主题包无法打开，未安装。"},
  };
  const auto before = tree();
  for (const Case& c : cases) {
    const auto result = install_theme_package(c.package, install);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.refusal, c.refusal) << c.what;
    EXPECT_TRUE(result.written.empty()) << c.what;
    EXPECT_EQ(tree(), before) << c.what;
  }
  // A good package of the same shape does install.
  const auto good = install_theme_package(
      make_cab({{"BriskLibTavrinTheme.xml", good_theme}, {"Theme/BtnSel.png", png}}), install);
  EXPECT_TRUE(good.ok) << std::string(good.refusal.begin(), good.refusal.end());
  EXPECT_EQ(good.written.size(), 2u);
  for (const std::string& name : tree())
    EXPECT_EQ(name.find(".theme-install"), std::string::npos) << "staging left behind: " << name;
}

// A package that brings, beside a valid theme, the program, the history
// database and the settings file: refused with a box, and none of the
// three (nor anything else) changes.
TEST_F(ThemePackageTest, APackageCannotReplaceTheProgramTheHistoryOrTheSettings) {
  const std::string png = read_file(install / "Theme" / "BtnSel.png");
  const std::string good_theme = theme_file("\\Disk\\BriskUI\\Theme\\bk.png");
  const std::vector<std::pair<std::string, std::string>> own = {
      {"tavrin",
       "\x7f"
       "ELF the real client"},
      {"DB/TavrinLog.db", "SQLite format 3 history"},
      {"BriskLibTavrinSetting.xml", "<BriskLibTavrinSetting />"},
  };
  std::vector<fs::path> packages;
  for (const auto& [name, bytes] : own) {
    write_file(install / name, bytes);
    packages.push_back(make_cab({{"BriskLibTavrinTheme.xml", good_theme},
                                 {"Theme/BtnSel.png", png},
                                 {name, "#!/bin/sh\nrm -rf \"$HOME\"\n"}}));
  }
  const auto before = tree();
  for (size_t i = 0; i < own.size(); ++i) {
    const std::string& name = own[i].first;
    const auto result = install_theme_package(packages[i], install);
    EXPECT_FALSE(result.ok) << name;
    EXPECT_EQ(result.refusal, u"主题包中含有主题以外的文件 " +
                                  std::u16string(name.begin(), name.end()) + u"，未安装。");
    EXPECT_TRUE(result.written.empty()) << name;
  }
  EXPECT_EQ(tree(), before);
  for (const auto& [name, bytes] : own) EXPECT_EQ(read_file(install / name), bytes) << name;
}

TEST_F(ThemePackageTest, PreviewShowsTheRefusalAndStaysOpen) {
  const fs::path folder = install / "Themes" / "Broken";
  fs::create_directories(folder);
  fs::copy_file(install / "Themes" / "Sakura" / "PreSee.png", folder / "PreSee.png");
  fs::copy_file(make_cab({{"Theme/BtnSel.png", read_file(install / "Theme" / "BtnSel.png")}}),
                folder / "Theme.cab");
  screens::CBriskThemePreview preview({u"Broken", folder}, install);
  inside_modal([&] {
    inside_modal([&] {
      EXPECT_EQ(golden_shot("theme_preview_refused"), "");
      tap(kBoxOk);
    });
    tap(kLeftKey);  // 应用
    EXPECT_TRUE(preview.running());
    EXPECT_EQ(preview.refusal(), u"主题包的主题文件无法读取，未安装。");
    tap(kRightKey);  // 取消
  });
  EXPECT_EQ(preview.run_modal(), 0);
}

TEST(SafeRelativeTest, NamesThatLeaveTheFolderAreRefused) {
  for (const char* bad : {"", "/", "\\x", "/etc/x", "..", "../x", "a/../../x", "a\\..\\x", "C:\\x",
                          "c:x", "./", "a/.."})
    EXPECT_FALSE(screens::safe_relative(bad)) << bad;
  EXPECT_EQ(screens::safe_relative("Theme\\Sakura\\bk.png"), fs::path("Theme/Sakura/bk.png"));
  EXPECT_EQ(screens::safe_relative("./Theme//x.png"), fs::path("Theme/x.png"));
}

}  // namespace
}  // namespace tavrin::test
