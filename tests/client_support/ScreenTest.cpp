#include "ScreenTest.h"

#include <filesystem>

#include "controls/AnimationClock.h"
#include "gfx/CBitmapFont.h"
#include "golden.h"
#include "libtavrin.h"
#include "platform/clipboard.h"
#include "shell/app.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "shell/theme_colors.h"

namespace tavrin::test {

using namespace platform;

void ScreenTest::SetUp() {
  design = std::make_unique<DesignCheck>();
  ws = std::make_unique<WindowSystem>();
  display = std::make_unique<Display>(*ws);
  TaskBar::set_clock_for_tests(12 * 60);
  task_bar = std::make_unique<TaskBar>(*ws, *display);
  panel = std::make_unique<InputPanel>(*ws, *display);
  Clipboard::clear();
  controls::set_clock_for_tests([this] { return now; }, [this](int ms) { now += ms; });
  // The build's install folder, with the history database in the scratch folder.
  shell::app_paths() = shell::AppPaths::form(TAVRIN_INSTALL_DIR);
  std::filesystem::create_directories(data.path / "DB");
  shell::app_paths().database_path = shell::from_path(data.path / "DB" / "TavrinLog.db");
  shell::theme_colors() = {};
  shell::client_settings() = {};
  if (!shell::bitmap_font().loaded())
    (void)shell::bitmap_font().load(shell::to_path(shell::app_paths().font_file_path).string());
  engine_started_ = fx_init() == 1;
  ASSERT_TRUE(engine_started_) << "the engine did not start";
}

std::filesystem::path ScreenTest::use_scratch_install() {
  namespace fs = std::filesystem;
  const fs::path install = data.path / "install", build = TAVRIN_INSTALL_DIR;
  fs::create_directories(install);
  fs::copy(build / "Theme", install / "Theme", fs::copy_options::recursive);
  fs::copy(build / "Themes", install / "Themes", fs::copy_options::recursive);
  auto& paths = shell::app_paths();
  const std::u16string db = paths.database_path;
  paths = shell::AppPaths::form(install);
  paths.database_path = db;
  return install;
}

void ScreenTest::TearDown() {
  if (engine_started_) {
    fx_loginout();
    fx_terminate();
  }
  controls::set_clock_for_tests(nullptr, nullptr);
  TaskBar::set_clock_for_tests(-1);
  panel.reset();
  task_bar.reset();
  display.reset();
  ws.reset();
  design.reset();
}

void ScreenTest::start_server(std::vector<std::string> extra) {
  std::vector<std::string> args{TAVRIN_SERVER_BIN, "--data", server_data(), "--demo",
                                "--nav-port", "0", "--sipc-port", "0", "--signin-port", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  server_.start(std::move(args), {.stderr_path = server_dir_.file("server.log"),
                                  .die_with_parent = true});
  ASSERT_GT(server_.sipc(), 0) << "tavrin-server did not start";
  fx_set_serve_address(sipc_address().c_str());
  fx_set_navigation_address("127.0.0.1", server_.nav());
}

std::string ScreenTest::sipc_address() const {
  return "127.0.0.1:" + std::to_string(server_.sipc());
}

std::string ScreenTest::signin_url() const {
  return "https://127.0.0.1:" + std::to_string(server_.signin());
}

std::string ScreenTest::ca_file() const {
  return server_data() + "/tls/ca.pem";
}

bool ScreenTest::sign_in(const std::string& user, const std::string& password) {
  fx_set_serve_address(sipc_address().c_str());
  return fs_login(user.c_str(), password.c_str()) == 1;
}

void ScreenTest::settle() {
  for (int i = 0; i < 100000 && ws->pump(0); ++i) {
  }
}

bool ScreenTest::pump_until(const std::function<bool()>& cond, int limit_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    ws->pump(10);
  }
  return true;
}

void ScreenTest::inside_modal(std::function<void()> fn) {
  ws->post_call([this, fn = std::move(fn)] {
    settle();
    fn();
  });
}

void ScreenTest::down(int x, int y) {
  ws->stylus(StylusAction::kDown, {x, y});
}
void ScreenTest::move(int x, int y) {
  ws->stylus(StylusAction::kMove, {x, y});
}
void ScreenTest::up(int x, int y) {
  ws->stylus(StylusAction::kUp, {x, y});
}
void ScreenTest::tap(int x, int y) {
  down(x, y);
  up(x, y);
  settle();
}

void ScreenTest::key(uint32_t code) {
  ws->key(code, true);
  ws->key(code, false);
  settle();
}

void ScreenTest::type(std::u16string_view text) {
  for (char16_t c : text) ws->character(c);
  settle();
}

std::string ScreenTest::golden(const std::string& golden_dir, const std::string& out_dir,
                               const std::string& name) {
  settle();
  std::filesystem::create_directories(out_dir);
  (void)display->save_png((std::filesystem::path(out_dir) / (name + ".png")).string());
  const auto& f = display->frame();
  return compare_golden(golden_dir, out_dir, name,
                        {f.data(), Display::kWidth, Display::kHeight, Display::kWidth}) +
         design->faults(name);
}

}  // namespace tavrin::test
