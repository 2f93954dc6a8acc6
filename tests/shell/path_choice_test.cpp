// Where the client keeps its files: a portable copy beside its executable,
// an installed one in the user's XDG folders with the shipped files read
// from the shared folder; and the first start that makes and fills the
// user's folders without overwriting what the user changed.
#include "shell/path_choice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "temp_dir.h"

using namespace tavrin::shell;
namespace fs = std::filesystem;

namespace {

void write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

std::string read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string u8(const std::u16string& s) {
  return to_path(s).string();
}

// A prefix with bin/ and share/tavrin/ and a home, all in one scratch folder.
struct Machine {
  TempDir dir;
  fs::path bin = dir.path / "usr" / "bin";
  fs::path share = dir.path / "usr" / "share" / "tavrin";
  fs::path home = dir.path / "home" / "li";
  Machine() {
    fs::create_directories(bin);
    fs::create_directories(home);
    write(share / "DB" / "HZK20.FT", "font");
    write(share / "Sounds" / "newmessage.wav", "wav");
    write(share / "Theme" / "BtnNormal.png", "shipped button");
    write(share / "Theme" / "bk.png", "shipped background");
    write(share / "Themes" / "Forest" / "Theme.cab", "cab");
  }
  PathEnvironment env() const {
    PathEnvironment e;
    e.executable_folder = bin;
    e.home = home;
    e.compiled_shared_folder = "/nonexistent/share/tavrin";
    return e;
  }
};

}  // namespace

TEST(PathChoice, PortableCopiesKeepEverythingBesideTheExecutable) {
  struct Case {
    const char* what;
    const char* file;  // made beside (or above) the executable
    const char* reason;
  };
  const Case cases[] = {
      {"marker", "bin/tavrin-portable", "marker file tavrin-portable"},
      {"font", "bin/DB/HZK20.FT", "bitmap font DB/HZK20.FT"},
      {"build folder", "CMakeCache.txt", "build folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write(dir.path / c.file, "");
    PathEnvironment env;
    env.executable_folder = dir.path / "bin";
    env.home = dir.path / "home";
    env.xdg_data_home = (dir.path / "xdg-data").string();  // not consulted
    const PathChoice p = choose_paths(env);
    EXPECT_FALSE(p.installed);
    EXPECT_EQ(p.reason.rfind("portable: ", 0), 0u) << p.reason;
    EXPECT_NE(p.reason.find(c.reason), std::string::npos) << p.reason;
    const std::string base = (dir.path / "bin").string() + "/";
    EXPECT_EQ(u8(p.paths.database_path), base + "DB/TavrinLog.db");
    EXPECT_EQ(u8(p.paths.font_file_path), base + "DB/HZK20.FT");
    EXPECT_EQ(u8(p.paths.sounds_folder), base + "Sounds/");
    EXPECT_EQ(p.paths.settings_file(), base + "BriskLibTavrinSetting.xml");
    EXPECT_EQ(p.paths.theme_file(), base + "BriskLibTavrinTheme.xml");
    std::string why;
    EXPECT_TRUE(prepare_user_folders(p, &why));
    EXPECT_FALSE(fs::exists(dir.path / "home")) << "a portable copy touches no home";
  }
}

TEST(PathChoice, InstalledCopiesUseTheXdgFoldersSetOrTheirDefaults) {
  struct Case {
    const char* what;
    const char* data_home;    // relative to the scratch folder; "" unset
    const char* config_home;  // likewise; a value without a leading slash is relative
    const char* data;         // expected, relative to the scratch folder
    const char* config;
  };
  const Case cases[] = {
      {"both set", "/xdg/data", "/xdg/config", "xdg/data/tavrin", "xdg/config/tavrin"},
      {"unset", "", "", "home/li/.local/share/tavrin", "home/li/.config/tavrin"},
      {"data only", "/xdg/data", "", "xdg/data/tavrin", "home/li/.config/tavrin"},
      // Relative values are to be ignored.
      {"relative", "rel/data", "rel/config", "home/li/.local/share/tavrin",
       "home/li/.config/tavrin"},
  };
  Machine m;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PathEnvironment env = m.env();
    auto value = [&](const char* v) -> std::string {
      if (!*v) return "";
      return v[0] == '/' ? m.dir.path.string() + v : v;
    };
    env.xdg_data_home = value(c.data_home);
    env.xdg_config_home = value(c.config_home);
    const PathChoice p = choose_paths(env);
    ASSERT_TRUE(p.installed);
    EXPECT_EQ(p.reason.rfind("installed: ", 0), 0u) << p.reason;
    const std::string data = (m.dir.path / c.data).string() + "/";
    const std::string config = (m.dir.path / c.config).string() + "/";
    const std::string share = m.share.string() + "/";
    EXPECT_EQ(u8(p.paths.install_folder), data);
    EXPECT_EQ(u8(p.paths.theme_folder), data + "Theme/");
    EXPECT_EQ(u8(p.paths.database_path), data + "DB/TavrinLog.db");
    EXPECT_EQ(p.paths.theme_file(), data + "BriskLibTavrinTheme.xml");
    EXPECT_EQ(p.paths.settings_file(), config + "BriskLibTavrinSetting.xml");
    EXPECT_EQ(u8(p.paths.font_file_path), share + "DB/HZK20.FT");
    EXPECT_EQ(u8(p.paths.sounds_folder), share + "Sounds/");
    // The sound and a theme's device paths resolve to the right halves.
    EXPECT_EQ(p.paths.resolve(p.paths.sounds_folder + u"newmessage.wav"),
              share + "Sounds/newmessage.wav");
    EXPECT_EQ(p.paths.resolve(u"\\Disk\\BriskUI\\Theme\\bk.png"), data + "Theme/bk.png");
  }
}

TEST(PathChoice, TheSharedFolderBesideThePrefixWinsOverTheCompiledOne) {
  Machine m;
  EXPECT_EQ(choose_paths(m.env()).shared_folder, m.share);
  fs::remove_all(m.share);
  EXPECT_EQ(choose_paths(m.env()).shared_folder, "/nonexistent/share/tavrin");
}

TEST(PathChoice, FirstStartMakesOwnerOnlyFoldersAndCopiesTheShippedTheme) {
  Machine m;
  const PathChoice p = choose_paths(m.env());
  std::string why;
  ASSERT_TRUE(prepare_user_folders(p, &why)) << why;
  EXPECT_EQ(why, "");
  for (const fs::path& folder : {p.data_folder, p.data_folder / "DB", p.config_folder}) {
    SCOPED_TRACE(folder.string());
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  EXPECT_EQ(read(p.data_folder / "Theme" / "BtnNormal.png"), "shipped button");
  EXPECT_EQ(read(p.data_folder / "Themes" / "Forest" / "Theme.cab"), "cab");
  // The font and sounds stay in the shared folder.
  EXPECT_FALSE(fs::exists(p.data_folder / "DB" / "HZK20.FT"));
  EXPECT_FALSE(fs::exists(p.data_folder / "Sounds"));

  // The user installs a theme over a skin image; a later package ships a new one.
  write(p.data_folder / "Theme" / "BtnNormal.png", "the user's button");
  write(m.share / "Theme" / "BtnPressed.png", "new in this version");
  ASSERT_TRUE(prepare_user_folders(p, &why)) << why;
  EXPECT_EQ(read(p.data_folder / "Theme" / "BtnNormal.png"), "the user's button");
  EXPECT_EQ(read(p.data_folder / "Theme" / "BtnPressed.png"), "new in this version");
}

TEST(PathChoice, WithoutAHomeNothingIsMadeRelativeToTheCurrentFolder) {
  Machine m;
  PathEnvironment env = m.env();
  env.home.clear();
  const PathChoice p = choose_paths(env);
  std::string why;
  EXPECT_FALSE(prepare_user_folders(p, &why));
  EXPECT_NE(why.find("no home folder"), std::string::npos) << why;
  EXPECT_FALSE(fs::exists(".local"));
  // The XDG folders alone are enough.
  env.xdg_data_home = (m.dir.path / "data").string();
  env.xdg_config_home = (m.dir.path / "config").string();
  EXPECT_TRUE(prepare_user_folders(choose_paths(env), &why)) << why;
  EXPECT_TRUE(fs::is_directory(m.dir.path / "data" / "tavrin" / "DB"));
}

TEST(PathChoice, AHomeThatCannotHoldTheFoldersFailsWithTheReason) {
  Machine m;
  // A file in the way stops root as well as a user.
  write(m.home / ".local" / "share", "a file where a folder belongs");
  const PathChoice p = choose_paths(m.env());
  std::string why;
  EXPECT_FALSE(prepare_user_folders(p, &why));
  EXPECT_NE(why.find(p.data_folder.string()), std::string::npos) << why;
}
