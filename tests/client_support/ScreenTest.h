// ScreenTest: the real client screens driven without a display, against the
// real tavrin-server on loopback. Each test gets:
//  - the window system, the 480 x 800 display with its task bar (its clock
//    fixed at 12:00) and input panel, the build's skin images and bitmap
//    font, the default theme, and a test clock that makes every animation
//    frame instant;
//  - a scratch folder for the history database (app_paths() points there);
//  - tavrin-server --demo on free loopback ports (start_server), and the
//    engine started and pointed at it (sign_in logs a user in with fs_login).
// Tests run one per process (gtest_discover_tests), so the engine is
// started and stopped once per test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DesignCheck.h"
#include "platform/display.h"
#include "platform/input_panel.h"
#include "platform/task_bar.h"
#include "platform/window_system.h"
#include "server_child.h"
#include "temp_dir.h"

namespace tavrin::test {

// Display points of a full screen's soft-key bar and of a one-button box's
// "确定".
inline constexpr platform::Point kLeftKey{60, 770}, kMiddleKey{240, 770}, kRightKey{420, 770};
inline constexpr platform::Point kBoxOk{240, 358};

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // --- the local service ---
  // Starts tavrin-server --demo (plus extra flags) and points the engine at
  // its SIP-C port. Demo users: 100000001/alice123, 100000002/bob123, ...
  void start_server(std::vector<std::string> extra = {});
  std::string sipc_address() const;
  std::string signin_url() const;  // https://127.0.0.1:PORT
  std::string ca_file() const;     // the server's own CA
  // The server's own folder (it makes it; its log lies beside it).
  std::string server_data() const { return (server_dir_.path / "data").string(); }
  ServerChild& server() { return server_; }
  // fs_login as the user; true once the login completed (code 14).
  bool sign_in(const std::string& user, const std::string& password);
  // Copies the build's skin images and theme packages into <scratch>/install
  // and makes that the install folder, so that installing a package or
  // saving the theme never touches the build; the folder.
  std::filesystem::path use_scratch_install();

  // --- the UI ---
  // Handles everything queued, due or invalid, without waiting.
  void settle();
  // Pumps the UI (waiting for engine messages) until cond holds; false
  // after limit_ms.
  bool pump_until(const std::function<bool()>& cond, int limit_ms = 15000);
  // Runs fn inside the next modal loop, once its window is up.
  void inside_modal(std::function<void()> fn);
  // Stylus and keys in display coordinates.
  void tap(int x, int y);
  void tap(platform::Point p) { tap(p.x, p.y); }
  // Taps at window coordinates of a full screen (display y = window y + 52).
  void tap_window(int x, int y) { tap(x, y + 52); }
  void down(int x, int y);
  void move(int x, int y);
  void up(int x, int y);
  void key(uint32_t code);
  void type(std::u16string_view text);
  // Compares the display with <golden_dir>/<name>.png (tolerance 0) and
  // runs the design check over every text drawn since the last shot;
  // empty when both pass. Also saves the frame as <out_dir>/<name>.png.
  std::string golden(const std::string& golden_dir, const std::string& out_dir,
                     const std::string& name);

  std::unique_ptr<platform::WindowSystem> ws;
  std::unique_ptr<platform::Display> display;
  std::unique_ptr<platform::TaskBar> task_bar;
  std::unique_ptr<platform::InputPanel> panel;
  std::unique_ptr<DesignCheck> design;  // records every text from SetUp on
  TempDir data{"tavrin-screen"};  // the client's DB folder lives here
  int64_t now = 0;                // the test clock, in ms

 private:
  TempDir server_dir_{"tavrin-screen-server"};
  ServerChild server_;
  bool engine_started_ = false;
};

}  // namespace tavrin::test
