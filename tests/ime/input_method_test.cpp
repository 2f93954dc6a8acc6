// The client in a real X window (Xvfb) under a real input method: ibus with
// its Pinyin engine, keys typed by xdotool. Alice signs in against the demo
// server, opens the chat with Echo, types "我们明天见", moves the caret back
// after "我们" and types y-i-q-i: the composition stands inline and pushes
// "明天见" on; the space key commits "一起" and 发送 sends the line, which
// comes back from Echo. Skipped where the packages are not installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "platform/image.h"
#include "server_child.h"
#include "storage/ChatLogStore.h"
#include "temp_dir.h"

namespace {

// The program's full path on PATH; empty when it is not there.
std::string on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const auto candidate = std::filesystem::path(folder) / program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return {};
}

std::string read(const std::string& file) {
  std::ifstream in(file);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(InputMethod, PinyinComposedMidTextIsDrawnInlineAndSent) {
  for (const char* program : {"xvfb-run", "dbus-launch", "ibus-daemon", "ibus", "xdotool"})
    if (on_path(program).empty()) GTEST_SKIP() << program << " is not installed";
  if (!std::filesystem::exists("/usr/share/ibus/component/libpinyin.xml"))
    GTEST_SKIP() << "ibus-libpinyin is not installed";

  TempDir dir{"tavrin-ime"}, server_dir{"tavrin-ime-server"};
  const std::string exe = dir.file("tavrin");
  std::filesystem::copy_file(TAVRIN_EXE, exe);
  std::filesystem::create_directories(dir.path / "DB");
  std::ofstream(dir.path / "DB" / "HZK20.FT", std::ios::binary) << std::string(6000, '\0');
  tavrin::test::ServerChild server;
  server.start({TAVRIN_SERVER_BIN, "--data", server_dir.file("data"), "--demo", "--nav-port", "0",
                "--sipc-port", "0", "--no-signin"},
               {.stderr_path = server_dir.file("log.txt"), .die_with_parent = true});
  ASSERT_GT(server.sipc(), 0);

  const std::string composing = dir.file("composing.png"), sent = dir.file("sent.png");
  std::ofstream(dir.path / "script.txt")
      << "tap 265 222\ntext 100000001\ntap 265 302\ntext alice123\nkey enter\nwait 4000\n"
         "tap 240 430\nwait 1000\n"  // Echo's row: the chat
         "tap 240 215\ntext 我们明天见\nkey left\nkey left\nkey left\n"
         "mark type:yiqi\nwait 3000\nscreenshot "
      << composing
      << "\nmark key:space\nwait 2000\n"
         "tap 80 771\nwait 2000\nscreenshot "  // 发送
      << sent << "\nquit\n";
  const std::string work = dir.file("session");
  tavrin::test::ChildProcess session(on_path("xvfb-run"),
                                     {"-a", IBUS_SESSION_SCRIPT, work, exe, "--server",
                                      "127.0.0.1:" + std::to_string(server.sipc()), "--script",
                                      dir.file("script.txt"), "--instance-dir", dir.path.string()},
                                     {}, true);
  ASSERT_TRUE(session.started());
  ASSERT_EQ(session.wait_exit(std::chrono::seconds(120)), 0)
      << session.transcript() << read(work + "/client.err") << read(work + "/ibus.log");

  const auto lines =
      tavrin::storage::ChatLogStore(dir.path / "DB" / "TavrinLog.db", 100000001).history(100000009);
  std::vector<std::u16string> texts;
  for (const auto& l : lines) texts.push_back(l.line);
  EXPECT_NE(std::find(texts.begin(), texts.end(), u"机主：我们一起明天见"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), u"Echo：我们一起明天见"), texts.end());
  const auto during = tavrin::platform::decode_png_file(composing);
  const auto after = tavrin::platform::decode_png_file(sent);
  ASSERT_TRUE(during && after);
  EXPECT_NE(during->pixels, after->pixels);
}

}  // namespace
