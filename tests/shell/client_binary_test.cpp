// The tavrin executable itself: installed in any folder it finds its files
// there, it runs headless to a screenshot, and a second start activates the
// first and exits with 0.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "child_process.h"
#include "platform/image.h"
#include "platform/message_box.h"
#include "platform/pinyin.h"
#include "platform/text_codec.h"
#include "server_child.h"
#include "storage/ChatLogStore.h"
#include "storage/SavedAccountStore.h"
#include "temp_dir.h"

extern char** environ;

namespace {

// Starts a program with stdout into a file; returns its pid.
pid_t start(const std::vector<std::string>& args, const std::string& out_file) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

// The exit code, or -1 when it did not end within timeout_ms (it is then killed).
int wait_exit(pid_t pid, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A copy of the client in a fresh folder, with a bitmap font file.
struct Installed {
  TempDir dir;
  std::string exe;
  Installed() {
    exe = dir.file("tavrin");
    std::filesystem::copy_file(TAVRIN_EXE, exe);
    std::filesystem::permissions(exe, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir.path / "DB");
    std::ofstream(dir.path / "DB" / "HZK20.FT", std::ios::binary) << std::string(6000, '\0');
  }
  std::string script(const std::string& name, const std::string& text) {
    std::ofstream(dir.path / name) << text;
    return dir.file(name);
  }
};

// A sanitizer's options for the client, with `extra` after the inherited ones.
std::string sanitizer_options(const char* variable, const std::string& extra) {
  const char* inherited = std::getenv(variable);
  return std::string(variable) + "=" + (inherited ? std::string(inherited) + ":" : "") + extra;
}

}  // namespace

TEST(ClientBinary, PathsFollowTheExecutablesFolder) {
  Installed app;
  const pid_t pid = start({app.exe, "--print-paths"}, app.dir.file("out.txt"));
  ASSERT_GT(pid, 0);
  ASSERT_EQ(wait_exit(pid, 20000), 0);
  const std::string base = app.dir.path.string() + "/";
  EXPECT_EQ(read(app.dir.file("out.txt")),
            "portable: the bitmap font DB/HZK20.FT lies beside the executable\n" + base + "\n" +
                base + "Theme/\n" + base + "DB/TavrinLog.db\n" + base + "DB/HZK20.FT\n" + base +
                "Sounds/\n" + base + "BriskLibTavrinSetting.xml\n" + base +
                "BriskLibTavrinTheme.xml\n");
}

// Installed under a prefix (no font beside the executable), the client
// keeps the user's files in the XDG folders, made owner-only on the first
// start and filled from the shipped skin images.
TEST(ClientBinary, InstalledCopyKeepsTheUsersFilesInTheXdgFolders) {
  TempDir dir;
  const auto bin = dir.path / "usr" / "bin", share = dir.path / "usr" / "share" / "tavrin";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(share / "DB");
  std::filesystem::create_directories(share / "Theme");
  std::ofstream(share / "DB" / "HZK20.FT", std::ios::binary) << std::string(6000, '\0');
  std::ofstream(share / "Theme" / "BtnNormal.png", std::ios::binary) << "shipped";
  const std::string exe = (bin / "tavrin").string();
  std::filesystem::copy_file(TAVRIN_EXE, exe);
  const std::string data = dir.file("data"), config = dir.file("config");
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);

  pid_t pid = start({exe, "--print-paths"}, dir.file("paths.txt"));
  ASSERT_GT(pid, 0);
  ASSERT_EQ(wait_exit(pid, 20000), 0);
  const std::string paths = read(dir.file("paths.txt"));
  EXPECT_EQ(paths.rfind("installed: ", 0), 0u) << paths;
  EXPECT_NE(paths.find(data + "/tavrin/DB/TavrinLog.db\n"), std::string::npos) << paths;
  EXPECT_NE(paths.find(share.string() + "/DB/HZK20.FT\n"), std::string::npos) << paths;
  EXPECT_NE(paths.find(config + "/tavrin/BriskLibTavrinSetting.xml\n"), std::string::npos) << paths;
  EXPECT_FALSE(std::filesystem::exists(data)) << "printing the paths makes nothing";

  const std::string shot = dir.file("shot.png");
  std::ofstream(dir.path / "s.txt") << "wait 50\nscreenshot " << shot << "\nquit\n";
  pid =
      start({exe, "--headless", "--script", dir.file("s.txt"), "--instance-dir", dir.path.string()},
            dir.file("out.txt"));
  ASSERT_GT(pid, 0);
  EXPECT_EQ(wait_exit(pid, 60000), 0);
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_TRUE(tavrin::platform::decode_png_file(shot));
  std::ifstream copied(data + "/tavrin/Theme/BtnNormal.png");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copied), {}), "shipped");
  for (const std::string folder : {data + "/tavrin", data + "/tavrin/DB", config + "/tavrin"}) {
    const auto perms = std::filesystem::status(folder).permissions();
    EXPECT_EQ(perms, std::filesystem::perms::owner_all) << folder;
  }
}

TEST(ClientBinary, RunsHeadlessToAScreenshotAndExitsCleanly) {
  Installed app;
  const std::string shot = app.dir.file("shot.png");
  const std::string script = app.script("s.txt", "wait 50\nscreenshot " + shot + "\nquit\n");
  const pid_t pid =
      start({app.exe, "--headless", "--script", script, "--instance-dir", app.dir.path.string()},
            app.dir.file("out.txt"));
  ASSERT_GT(pid, 0);
  ASSERT_EQ(wait_exit(pid, 60000), 0);
  auto img = tavrin::platform::decode_png_file(shot);
  ASSERT_TRUE(img);
  EXPECT_EQ(img->width, 480);
  EXPECT_EQ(img->height, 800);
}

TEST(ClientBinary, SecondStartActivatesTheFirstAndExitsWithZero) {
  Installed app;
  const std::string dir = app.dir.path.string();
  const std::string first_script = app.script("first.txt", "wait 600000\n");
  const pid_t first =
      start({app.exe, "--headless", "--script", first_script, "--instance-dir", dir},
            app.dir.file("first.txt.out"));
  ASSERT_GT(first, 0);
  // The first is up once its activation socket exists.
  const auto socket = app.dir.path / ("tavrin-" + std::to_string(getuid()) + "-Dialog.sock");
  for (int i = 0; i < 1000 && !std::filesystem::exists(socket); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(std::filesystem::exists(socket));
  // The second would save a screenshot if it ever ran its own client.
  const std::string second_script =
      app.script("second.txt", "screenshot " + app.dir.file("second.png") + "\nquit 9\n");
  const pid_t second =
      start({app.exe, "--headless", "--script", second_script, "--instance-dir", dir},
            app.dir.file("second.out"));
  EXPECT_EQ(wait_exit(second, 20000), 0);
  EXPECT_FALSE(std::filesystem::exists(app.dir.file("second.png")));
  // The first runs on, and ends cleanly on a termination request.
  int status = 0;
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0);
  kill(first, SIGTERM);
  EXPECT_EQ(wait_exit(first, 20000), 0);
  // With the first gone, a new start runs its own client.
  const pid_t third =
      start({app.exe, "--headless", "--script", second_script, "--instance-dir", dir},
            app.dir.file("third.out"));
  EXPECT_EQ(wait_exit(third, 20000), 9);
  EXPECT_TRUE(std::filesystem::exists(app.dir.file("second.png")));
}

// The real-window path: SDL's X11 driver on a virtual X server, the login
// screen typed into and signed in against the real server.
TEST(ClientBinary, SignsInThroughARealX11Window) {
  Installed app;
  TempDir server_dir("tavrin-x11-server");
  tavrin::test::ServerChild server;
  server.start({TAVRIN_SERVER_BIN, "--data", server_dir.file("data"), "--demo", "--nav-port", "0",
                "--sipc-port", "0", "--no-signin"},
               {.stderr_path = server_dir.file("log.txt"), .die_with_parent = true});
  ASSERT_GT(server.sipc(), 0);
  const std::string shot = app.dir.file("signed-in.png");
  const std::string script =
      app.script("s.txt",
                 "tap 265 222\ntext 100000001\ntap 265 302\ntext alice123\nkey enter\nwait 3000\n"
                 "screenshot " +
                     shot + "\nquit\n");
  // SDL's X11 driver opens the session bus and libdbus keeps that memory to
  // the end (our SDL has no way to shut it down), so a sanitized build would
  // report it as a leak of ours; the in-process screen tests check our leaks.
  // Mesa's software rasteriser, which presents the window, is not
  // instrumented for ThreadSanitizer (x11_sanitizers.supp).
  const pid_t pid =
      start({"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 640x900x24", "env", "SDL_VIDEODRIVER=x11",
             sanitizer_options("ASAN_OPTIONS", "detect_leaks=0"),
             sanitizer_options("TSAN_OPTIONS", "suppressions=" TAVRIN_X11_SUPPRESSIONS), app.exe,
             "--server", "127.0.0.1:" + std::to_string(server.sipc()), "--script", script,
             "--instance-dir", app.dir.path.string()},
            app.dir.file("out.txt"));
  ASSERT_GT(pid, 0);
  ASSERT_EQ(wait_exit(pid, 90000), 0) << read(app.dir.file("out.txt"));
  EXPECT_TRUE(tavrin::platform::decode_png_file(shot));
  const auto rows = tavrin::storage::SavedAccountStore(app.dir.path / "DB" / "TavrinLog.db").load();
  ASSERT_TRUE(rows && rows->size() == 1u);
  EXPECT_EQ((*rows)[0].account, u"100000001");
}

namespace {

// The demo server on loopback, for the journeys below.
struct DemoServer {
  TempDir dir{"tavrin-journey-server"};
  tavrin::test::ServerChild server;
  explicit DemoServer(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{TAVRIN_SERVER_BIN, "--data",      dir.file("data"),  "--demo",
                                  "--nav-port",      "0",           "--sipc-port",     "0",
                                  "--no-signin"};
    args.insert(args.end(), extra.begin(), extra.end());
    server.start(args, {.stderr_path = dir.file("log.txt"), .die_with_parent = true});
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(server.sipc()); }
};

// Signing in as Alice on the login screen of a fresh install.
constexpr const char* kAliceSignsIn =
    "tap 265 222\ntext 100000001\ntap 265 302\ntext alice123\nkey enter\n";
// The main window's 个人 menu and its items (注销塔文 / 登录塔文, 退出塔文).
constexpr const char* kMineMenu = "tap 147 775\nwait 300\n";
constexpr const char* kLogoutItem = "tap 153 389\n";
constexpr const char* kExitItem = "tap 153 439\n";

std::vector<tavrin::storage::ChatLogLine> alice_log(const Installed& app, long contact) {
  return tavrin::storage::ChatLogStore(app.dir.path / "DB" / "TavrinLog.db", 100000001)
      .history(std::int32_t(contact));
}

}  // namespace

// The rows of a screenshot where the input panel's keyboard stands (from
// the panel's top edge down to the soft-key bar).
static std::vector<uint32_t> panel_rows(const std::string& png) {
  const auto image = tavrin::platform::decode_png_file(png);
  if (!image) return {};
  const auto from = image->pixels.begin() + 480 * 480, to = image->pixels.begin() + 740 * 480;
  return {from, to};
}

// The touch keyboard chosen on the settings screen (登陆设置 from the login
// screen's 设置 menu, the row 触摸键盘 stepping 自动, 开启, 关闭) holds over a
// restart; --touch shows it whatever was chosen.
TEST(ClientJourney, TouchKeyboardChoiceHoldsOverARestart) {
  Installed app;
  const std::string tap_account = "wait 300\ntap 265 222\nwait 200\n";
  const std::string settings = "key escape\ntap 336 770\nwait 300\ntap 370 515\nwait 500\n";
  const std::string touch_row = "tap 300 634\nwait 100\n";
  const std::string ok = "tap 60 770\nwait 300\n";
  auto run = [&](const std::string& name, const std::string& steps, bool touch) {
    const std::string shot = app.dir.file(name + ".png");
    const std::string script =
        app.script(name + ".txt", tap_account + "screenshot " + shot + "\n" + steps + "quit\n");
    std::vector<std::string> args = {app.exe, "--headless",     "--no-auto-dial",     "--script",
                                     script,  "--instance-dir", app.dir.path.string()};
    if (touch) args.push_back("--touch");
    const pid_t pid = start(args, app.dir.file(name + ".out"));
    EXPECT_GT(pid, 0);
    EXPECT_EQ(wait_exit(pid, 60000), 0) << read(app.dir.file(name + ".out"));
    return panel_rows(shot);
  };
  const std::string switches = app.dir.file("BriskLibTavrinSwitches.xml");
  // No choice stored: a headless run has no desktop keyboard, so it shows.
  const auto automatic = run("first", settings + touch_row + touch_row + ok, false);
  ASSERT_FALSE(automatic.empty());
  EXPECT_NE(read(switches).find("TouchKeyboard=\"2\""), std::string::npos) << read(switches);
  // 关闭: the panel is still raised for the screens, but draws no keyboard.
  const auto off = run("second", "", false);
  ASSERT_FALSE(off.empty());
  EXPECT_NE(off, automatic);
  // The flag wins over 关闭; the choice is stepped on to 开启.
  EXPECT_EQ(run("third", settings + touch_row + touch_row + ok, true), automatic);
  EXPECT_NE(read(switches).find("TouchKeyboard=\"1\""), std::string::npos) << read(switches);
  EXPECT_EQ(run("fourth", "", false), automatic);
}

// Lines that arrive while no chat shows their sender are in the history
// when the user leaves with 退出塔文, and the next start shows them.
TEST(ClientJourney, UnreadLinesAreKeptThroughAnExit) {
  Installed app;
  DemoServer demo;
  ASSERT_GT(demo.server.sipc(), 0);
  const std::string script = app.script(
      "first.txt", std::string(kAliceSignsIn) + "wait 15000\n" + kMineMenu + kExitItem +
                       "wait 5000\nquit 7\n");  // 7: the exit item did not end the client
  const pid_t pid = start({app.exe, "--headless", "--server", demo.address(), "--script", script,
                           "--instance-dir", app.dir.path.string()},
                          app.dir.file("first.out"));
  ASSERT_GT(pid, 0);
  tavrin::test::ChildProcess bob(TAVRIN_CLI_BIN, {"--server", demo.address(), "--user", "100000002",
                                                  "--password", "bob123", "--json"});
  ASSERT_TRUE(bob.read_until([](const std::string& l) { return l.rfind("{\"code\":14,", 0) == 0; },
                             std::chrono::seconds(30)))
      << bob.transcript();
  std::this_thread::sleep_for(std::chrono::seconds(4));  // Alice signs in meanwhile
  for (int i = 1; i <= 10; ++i) bob.write_line("send 100000001 unread line " + std::to_string(i));
  ASSERT_EQ(wait_exit(pid, 90000), 0) << read(app.dir.file("first.out"));
  auto logged = alice_log(app, 100000002);
  ASSERT_EQ(logged.size(), 10u) << bob.transcript();
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(logged[size_t(i)].line,
              u"Bob：unread line " + tavrin::platform::utf8_to_utf16(std::to_string(i + 1)));

  // The next start: the saved account signs in with Enter; Bob's chat,
  // opened from his row in 我的好友, shows the ten lines from the history.
  const std::string shot = app.dir.file("second.png");
  const std::string second =
      app.script("second.txt",
                 "key enter\nwait 4000\ntap 240 300\nwait 1000\nscreenshot " + shot + "\nquit\n");
  const pid_t again = start({app.exe, "--headless", "--server", demo.address(), "--script", second,
                             "--instance-dir", app.dir.path.string()},
                            app.dir.file("second.out"));
  ASSERT_EQ(wait_exit(again, 60000), 0) << read(app.dir.file("second.out"));
  EXPECT_TRUE(tavrin::platform::decode_png_file(shot));
  EXPECT_EQ(alice_log(app, 100000002).size(), 10u);  // shown, none lost or doubled
}

// "注销塔文", then a line typed to Echo: the client stays up (it crashed on
// the time-out's freed record), the line is failed in the history, never
// sent; and the 个人 menu signs in again.
TEST(ClientJourney, AfterLogoutNothingIsSentAndTheClientStaysUp) {
  Installed app;
  DemoServer demo;
  ASSERT_GT(demo.server.sipc(), 0);
  const std::string shot = app.dir.file("after.png");
  const std::string script = app.script(
      "s.txt", std::string(kAliceSignsIn) + "wait 4000\n" + kMineMenu + kLogoutItem +
                   "wait 1000\ntap 240 358\n"            // the box "您已经离线！"
                   "wait 300\ntap 240 430\nwait 1000\n"  // Echo's row: the chat
                   "tap 240 215\ntext typed while signed out\ntap 80 771\n"  // 发送
                   "wait 35000\nkey escape\nwait 500\n" +  // past the engine's line time-out
                   kMineMenu +
                   kLogoutItem + "wait 500\nkey enter\nwait 4000\nscreenshot " + shot + "\nquit\n");
  const pid_t pid = start({app.exe, "--headless", "--server", demo.address(), "--script", script,
                           "--instance-dir", app.dir.path.string()},
                          app.dir.file("out.txt"));
  ASSERT_GT(pid, 0);
  ASSERT_EQ(wait_exit(pid, 120000), 0) << read(app.dir.file("out.txt"));
  const auto logged = alice_log(app, 100000009);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].line, u"发送失败：typed while signed out");
  EXPECT_TRUE(tavrin::platform::decode_png_file(shot));
}

// A line still waiting for its result when the client ends is never left
// "发送中：" in the history: failed at 退出塔文, and failed at the next
// sign-in after a kill -9. The service here never answers lines.
TEST(ClientJourney, LinesPendingWhenTheClientEndsAreFailedInTheHistory) {
  Installed app;
  DemoServer demo({"--test-withhold-acks"});
  ASSERT_GT(demo.server.sipc(), 0);
  const auto run = [&](const std::string& name, const std::string& steps) {
    return start({app.exe, "--headless", "--server", demo.address(), "--script",
                  app.script(name + ".txt", steps), "--instance-dir", app.dir.path.string()},
                 app.dir.file(name + ".out"));
  };
  const auto own_lines = [&] {
    std::vector<std::u16string> own;
    for (const auto& l : alice_log(app, 100000009))
      if (!l.line.starts_with(u"Echo")) own.push_back(l.line);
    return own;
  };
  // Echo's chat from its row, a line, 发送, and straight out through 个人.
  const std::string send_to_echo = "wait 4000\ntap 240 430\nwait 1000\ntap 240 215\ntext ";
  const pid_t first = run("first", std::string(kAliceSignsIn) + send_to_echo +
                                       "pending at exit\ntap 80 771\nwait 500\nkey escape\n"
                                       "wait 500\n" +
                                       kMineMenu + kExitItem + "wait 5000\nquit 7\n");
  ASSERT_EQ(wait_exit(first, 60000), 0) << read(app.dir.file("first.out"));
  EXPECT_EQ(own_lines(), std::vector<std::u16string>{u"发送失败：pending at exit"});

  const pid_t second =
      run("second", "key enter\n" + send_to_echo + "pending at a kill\ntap 80 771\nwait 60000\n");
  ASSERT_GT(second, 0);
  const auto pending = [&] {
    const auto own = own_lines();
    return own.size() == 2 && own[1] == u"发送中：pending at a kill";
  };
  for (int i = 0; i < 300 && !pending(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(pending()) << read(app.dir.file("second.out"));
  kill(second, SIGKILL);
  wait_exit(second, 10000);

  const pid_t third = run("third", "key enter\nwait 4000\nquit\n");
  ASSERT_EQ(wait_exit(third, 60000), 0) << read(app.dir.file("third.out"));
  EXPECT_EQ(own_lines(), (std::vector<std::u16string>{u"发送失败：pending at exit",
                                                      u"发送失败：pending at a kill"}));
}

// Chinese without a hardware keyboard: in Echo's chat the touch keyboard's
// 中 key, the letters w-o-m-e-n tapped on the plate, 我们 picked from the
// candidate bar, 发送. The line is sent as 我们 and Echo's answer comes back.
TEST(ClientJourney, PinyinOnTheTouchKeyboardTypesWoMen) {
  if (!tavrin::platform::Pinyin::shared()) GTEST_SKIP() << "libpinyin-data is not installed";
  Installed app;
  DemoServer demo;
  ASSERT_GT(demo.server.sipc(), 0);
  const std::string shot = app.dir.file("candidates.png");
  const std::string script = app.script(
      "s.txt", std::string(kAliceSignsIn) +
                   "wait 4000\ntap 240 430\nwait 1000\n"  // Echo's row: the chat
                   "tap 240 215\nwait 300\npanel 中\npanel w\npanel o\npanel m\npanel e\n"
                   "panel n\nscreenshot " +
                   shot + "\npanel 我们\ntap 80 771\nwait 3000\nquit\n");  // 发送
  const pid_t pid = start({app.exe, "--headless", "--server", demo.address(), "--script", script,
                           "--instance-dir", app.dir.path.string()},
                          app.dir.file("out.txt"));
  ASSERT_GT(pid, 0);
  ASSERT_EQ(wait_exit(pid, 90000), 0) << read(app.dir.file("out.txt"));
  std::vector<std::u16string> lines;
  for (const auto& l : alice_log(app, 100000009)) lines.push_back(l.line);
  EXPECT_NE(std::find(lines.begin(), lines.end(), u"机主：我们"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), u"Echo：我们"), lines.end());
  EXPECT_TRUE(tavrin::platform::decode_png_file(shot));
}
