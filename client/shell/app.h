// The application object (CBriskLibTavrinApp): the client's process-wide
// start and end. Start-up, in order: one client per user (a second start
// activates the first and exits with 0), the platform (windows, display,
// task bar, input panel), the paths from the executable's folder, the
// bitmap font, the engine, the theme, the task-bar icon, then the main
// window run modally for the life of the process. Shut-down: log out, stop
// the engine, release the network connection, close the platform.
//
// The engine is reached through an EngineLink so that tests can stand in
// for it. Everything here runs on the UI thread (the thread calling run()),
// except the single-instance listener, which only queues work for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "gfx/CBitmapFont.h"
#include "platform/messages.h"

namespace tavrin::platform {
class Display;
class InputPanel;
class ScriptPlayer;
class SdlBackend;
class SingleInstance;
class TaskBar;
class WindowSystem;
}  // namespace tavrin::platform

namespace tavrin::shell {

class BackgroundWindow;
class TaskBarIcon;

struct EngineLink {
  std::function<int()> init;       // 1 on success
  std::function<void()> loginout;  // may be empty
  std::function<void()> terminate;
};

struct AppOptions {
  bool headless = false;
  int zoom = 1;
  std::string script;                    // --script FILE
  std::string ca_file;                   // trusted CAs for HTTPS
  std::filesystem::path instance_dir;    // where the single-instance lock lives
  std::filesystem::path install_folder;  // empty: the executable's folder
};

// Process exit codes besides the main window's own.
inline constexpr int kExitEngineFailed = 1;
inline constexpr int kExitPlatformFailed = 2;
inline constexpr int kExitScriptFailed = 3;

class CBriskLibTavrinApp {
 public:
  // What runs as the main window: returns when it has closed.
  using MainWindowRun = std::function<int(CBriskLibTavrinApp&)>;

  CBriskLibTavrinApp(AppOptions options, EngineLink engine);
  ~CBriskLibTavrinApp();
  CBriskLibTavrinApp(const CBriskLibTavrinApp&) = delete;
  CBriskLibTavrinApp& operator=(const CBriskLibTavrinApp&) = delete;

  static CBriskLibTavrinApp* instance();

  // Start-up, main window, shut-down; the process exit code.
  int run();
  void set_main_window(MainWindowRun run) { main_window_run_ = std::move(run); }

  // Brings the running client's "BriskTavrin" window forward and places it
  // at (0, 52), 480 x 800; 1 when there was one, else 0.
  int activate_running_instance();
  // Asks the desktop to mark the window as wanting attention (its urgency
  // hint) until the user comes to it; nothing without a desktop window.
  void request_attention();

  // The network connection the login screen brought up, released at shut-down.
  void set_connection(uint64_t handle) { connection_ = handle; }

  platform::WindowSystem& windows() { return *windows_; }
  platform::Display& display() { return *display_; }
  platform::WindowId task_bar_icon() const;

 private:
  bool start_platform(int* exit_code);
  bool init_instance(int* exit_code);
  void exit_instance();
  void track_main_window();

  AppOptions options_;
  EngineLink engine_;
  MainWindowRun main_window_run_;
  bool engine_started_ = false;
  bool engine_ok_ = false;
  uint64_t connection_ = 0;
  std::atomic<platform::WindowId> main_window_{0};  // "BriskTavrin", for the listener thread

  std::unique_ptr<platform::SingleInstance> single_;
  std::unique_ptr<platform::WindowSystem> windows_;
  std::unique_ptr<platform::Display> display_;
  std::unique_ptr<platform::SdlBackend> backend_;
  std::unique_ptr<platform::TaskBar> task_bar_;
  std::unique_ptr<platform::InputPanel> input_panel_;
  std::unique_ptr<platform::ScriptPlayer> script_;
  std::unique_ptr<TaskBarIcon> icon_;
};

// The bitmap font loaded at start-up (empty when its file was missing).
gfx::CBitmapFont& bitmap_font();

}  // namespace tavrin::shell
