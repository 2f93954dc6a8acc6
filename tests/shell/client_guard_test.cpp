// The client under hostile conditions, through the real executable: a disk
// that fills while lines arrive (the history on a small tmpfs in a mount
// namespace of the test's own), and skin images that would cost gigabytes
// to decode.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "child_process.h"
#include "platform/image.h"
#include "platform/text_codec.h"
#include "server_child.h"
#include "storage/ChatLogStore.h"
#include "temp_dir.h"
#include "test_pictures.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tavrin::test::ChildProcess;

// Runs a program with stdout and stderr into files; its exit code, or -1
// when it did not end within the limit (it is then killed).
int run(const std::vector<std::string>& args, const std::string& out, const std::string& err,
        int limit_ms) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  if (pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The demo server on loopback ports of its choosing.
struct DemoServer {
  TempDir dir{"tavrin-guard-server"};
  tavrin::test::ServerChild server;
  DemoServer() {
    // The server takes only a data folder of its own: the log lies beside it.
    server.start({TAVRIN_SERVER_BIN, "--data", dir.file("data"), "--demo", "--nav-port", "0",
                  "--sipc-port", "0", "--no-signin"},
                 {.stderr_path = dir.file("log.txt"), .die_with_parent = true});
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(server.sipc()); }
};

// The unshare command that gives a shell a mount namespace of its own
// here, or empty (with the reason) where this machine does not allow one.
std::vector<std::string> mount_namespace(std::string* why) {
  std::vector<std::vector<std::string>> tries = {
      {"/usr/bin/unshare", "--user", "--map-root-user", "--mount"}};
  if (geteuid() == 0) tries.push_back({"/usr/bin/unshare", "--mount"});
  TempDir probe("tavrin-unshare-probe");
  for (const auto& t : tries) {
    std::vector<std::string> args = t;
    args.insert(args.end(), {"/bin/sh", "-c", "mount -t tmpfs -o size=64k tmpfs \"$0\"",
                             probe.path.string()});
    if (run(args, probe.file("out"), probe.file("err"), 20000) == 0) return t;
    *why = read(probe.file("err"));
  }
  return {};
}

}  // namespace

// 400 lines arrive while the history's disk is all but full. The client
// answers only the lines it stored, says so once, and the service keeps the
// rest: after space is freed and a new sign-in every line is in the history
// once, in order.
TEST(ClientGuard, AFullDiskLosesNoLine) {
  std::string why;
  const std::vector<std::string> unshare = mount_namespace(&why);
  if (unshare.empty()) GTEST_SKIP() << "no mount namespace for a small tmpfs here: " << why;
  DemoServer demo;
  ASSERT_GT(demo.server.sipc(), 0);
  TempDir app("tavrin-guard-app");
  const std::string exe = app.file("tavrin");
  fs::copy_file(TAVRIN_EXE, exe);
  fs::permissions(exe, fs::perms::owner_all);
  fs::create_directories(app.path / "DB");
  std::ofstream(app.path / "first.txt")
      << "tap 265 222\ntext 100000001\ntap 265 302\ntext alice123\nkey enter\nwait 4000\n"
         "mark signed-in\nwait 30000\nquit\n";
  std::ofstream(app.path / "second.txt") << "key enter\nwait 25000\nquit\n";
  // Inside the namespace: the DB folder on a 1 MB tmpfs; the first run
  // signs in, then a filler leaves about 100 kB; the second runs once the
  // filler is gone; the history is copied out before the tmpfs goes.
  const std::string inner = R"sh(
    set -e
    app="$0"; server="$1"
    mount -t tmpfs -o size=1m tmpfs "$app/DB"
    head -c 6000 /dev/zero > "$app/DB/HZK20.FT"
    client() { "$app/tavrin" --headless --server "$server" --instance-dir "$app" --script "$app/$1.txt" > "$app/$1.out" 2> "$app/$1.err"; }
    client first & pid=$!
    for i in $(seq 600); do grep -q 'mark signed-in' "$app/first.out" 2>/dev/null && break; sleep 0.1; done
    free=$(df -k --output=avail "$app/DB" | tail -1)
    head -c $(( (free - 100) * 1024 )) /dev/zero > "$app/DB/filler" || true
    echo "full $(df -k --output=avail "$app/DB" | tail -1)"
    set +e
    wait $pid; echo "first $?"
    rm "$app/DB/filler"
    client second; echo "second $?"
    cp "$app/DB/TavrinLog.db" "$app/history.db"
    echo done
  )sh";
  std::vector<std::string> args(unshare.begin() + 1, unshare.end());
  args.insert(args.end(), {"/bin/sh", "-c", inner, app.path.string(), demo.address()});
  ChildProcess namespace_shell(unshare[0], args, {}, true);
  const auto full = namespace_shell.read_until(
      [](const std::string& l) { return l.rfind("full ", 0) == 0; }, std::chrono::seconds(90));
  ASSERT_TRUE(full) << namespace_shell.transcript() << read(app.path / "first.err");

  ChildProcess bob(TAVRIN_CLI_BIN, {"--server", demo.address(), "--user", "100000002",
                                    "--password", "bob123", "--json"});
  ASSERT_TRUE(bob.read_until([](const std::string& l) { return l.rfind("{\"code\":14,", 0) == 0; },
                             std::chrono::seconds(30)))
      << bob.transcript();
  // In steps of 40: the sender's engine takes 64 lines waiting for the
  // service's answer at most.
  const std::string padding(300, 'x');
  int accepted = 0;
  for (int i = 1; i <= 400; ++i) {
    bob.write_line("send 100000001 line " + std::to_string(1000 + i) + " " + padding);
    if (i % 40 != 0) continue;
    ASSERT_TRUE(bob.read_until(
        [&](const std::string& l) { return l.rfind("{\"code\":52,", 0) == 0 && ++accepted == i; },
        std::chrono::seconds(30)))
        << bob.transcript();
  }

  ASSERT_TRUE(namespace_shell.read_until([](const std::string& l) { return l == "done"; },
                                         std::chrono::seconds(150)))
      << namespace_shell.transcript();
  EXPECT_NE(namespace_shell.transcript().find("first 0"), std::string::npos)
      << namespace_shell.transcript();
  EXPECT_NE(namespace_shell.transcript().find("second 0"), std::string::npos)
      << namespace_shell.transcript();
  // The person was told, once, while the disk was full.
  const std::string said = read(app.path / "first.err");
  EXPECT_EQ(count(said, "a received line cannot be stored"), 1u) << said;

  const auto logged =
      tavrin::storage::ChatLogStore(app.path / "history.db", 100000001).history(100000002);
  ASSERT_EQ(logged.size(), 400u) << namespace_shell.transcript() << read(app.path / "second.err")
                                  << read(demo.dir.path / "log.txt");
  for (int i = 0; i < 400; ++i)
    EXPECT_EQ(logged[size_t(i)].line,
              u"Bob：line " + tavrin::platform::utf8_to_utf16(std::to_string(1001 + i) + " " +
                                                              padding))
        << i;
}

namespace {

// Runs the client under an address-space limit that a decoded 16384 x 16384
// image (a gigabyte or two) cannot fit in. Sanitizers reserve terabytes of
// shadow memory, so their builds run without the limit.
std::vector<std::string> limited(std::vector<std::string> args) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return args;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  return args;
#endif
#endif
  args.insert(args.begin(), {"/usr/bin/prlimit", "--as=1500000000", "--"});
  return args;
}

// The pixels where the login screen draws its logo (window rectangle
// (90, 15)-(390, 125), 52 rows below the task bar): the clock and the
// caret elsewhere change from run to run.
std::vector<uint32_t> logo_of(const fs::path& png) {
  const auto image = tavrin::platform::decode_png_file(png.string());
  std::vector<uint32_t> out;
  if (!image || image->width != 480) return out;
  for (int y = 52 + 15; y < 52 + 125; ++y)
    for (int x = 90; x < 390; ++x) out.push_back(image->pixels[size_t(y * 480 + x)]);
  return out;
}

}  // namespace

// A 40 KB PNG of 16384 x 16384 pixels in place of the login screen's logo:
// an installed client draws the shipped logo instead, a portable one draws
// none; both start, say which file is bad, and end cleanly.
TEST(ClientGuard, ASkinImageBombFallsBackAtStartUp) {
  TempDir dir("tavrin-guard-skin");
  const fs::path bomb = dir.path / "bomb.png";
  ASSERT_TRUE(tavrin::test::write_png_bomb(bomb.string(), 16384));
  const fs::path shipped_theme = fs::path(TAVRIN_EXE).parent_path() / "Theme";
  ASSERT_TRUE(fs::exists(shipped_theme / "TavrinLogo.png"));
  const auto shot = [&](const std::string& exe, const std::string& name) {
    std::ofstream(dir.path / (name + ".txt"))
        << "wait 300\nscreenshot " << dir.file(name + ".png") << "\nquit\n";
    return run(limited({exe, "--headless", "--script", dir.file(name + ".txt"), "--instance-dir",
                        dir.path.string()}),
               dir.file(name + ".out"), dir.file(name + ".err"), 60000);
  };

  // Installed: the user's copy of the skin images is bad, the shipped one good.
  const fs::path bin = dir.path / "usr" / "bin", share = dir.path / "usr" / "share" / "tavrin";
  fs::create_directories(bin);
  fs::create_directories(share / "DB");
  std::ofstream(share / "DB" / "HZK20.FT", std::ios::binary) << std::string(6000, '\0');
  fs::copy(shipped_theme, share / "Theme", fs::copy_options::recursive);
  const std::string installed = (bin / "tavrin").string();
  fs::copy_file(TAVRIN_EXE, installed);
  setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
  ASSERT_EQ(shot(installed, "good"), 0) << read(dir.path / "good.err");
  const fs::path users_logo = dir.path / "data" / "tavrin" / "Theme" / "TavrinLogo.png";
  ASSERT_TRUE(fs::exists(users_logo));
  fs::copy_file(bomb, users_logo, fs::copy_options::overwrite_existing);
  const int code = shot(installed, "bombed");
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  ASSERT_EQ(code, 0) << read(dir.path / "bombed.err");
  EXPECT_NE(read(dir.path / "bombed.err").find(users_logo.string() + " is no picture"),
            std::string::npos)
      << read(dir.path / "bombed.err");
  const auto good = logo_of(dir.path / "good.png");
  ASSERT_FALSE(good.empty());
  EXPECT_EQ(logo_of(dir.path / "bombed.png"), good) << "the shipped logo, as before";

  // Portable: the theme folder is the only one; the logo is left out.
  const fs::path portable = dir.path / "portable";
  fs::create_directories(portable / "DB");
  std::ofstream(portable / "DB" / "HZK20.FT", std::ios::binary) << std::string(6000, '\0');
  fs::copy(shipped_theme, portable / "Theme", fs::copy_options::recursive);
  fs::copy_file(bomb, portable / "Theme" / "TavrinLogo.png", fs::copy_options::overwrite_existing);
  fs::copy_file(TAVRIN_EXE, portable / "tavrin");
  ASSERT_EQ(shot((portable / "tavrin").string(), "portable"), 0)
      << read(dir.path / "portable.err");
  EXPECT_NE(read(dir.path / "portable.err").find("left out"), std::string::npos)
      << read(dir.path / "portable.err") << read(dir.path / "portable.out");
  const auto drawn = logo_of(dir.path / "portable.png");
  ASSERT_EQ(drawn.size(), good.size());
  EXPECT_NE(drawn, good) << "no logo drawn";
}
