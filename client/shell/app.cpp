// Start-up and shut-down of the client; see app.h.
#include "shell/app.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/display.h"
#include "platform/executable.h"
#include "platform/https.h"
#include "platform/input_panel.h"
#include "platform/message_box.h"
#include "platform/network.h"
#include "platform/pinyin.h"
#include "platform/script_player.h"
#include "platform/sdl_backend.h"
#include "platform/single_instance.h"
#include "platform/sound.h"
#include "platform/task_bar.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "shell/app_paths.h"
#include "shell/background_window.h"
#include "shell/path_choice.h"
#include "shell/switch_settings.h"
#include "shell/task_bar_icon.h"
#include "shell/theme_colors.h"

namespace tavrin::shell {
namespace {

CBriskLibTavrinApp* g_app = nullptr;  // UI thread; set while run() may be called
constexpr char16_t kMainTitle[] = u"BriskTavrin";

void say(const std::string& text) {
  std::fprintf(stderr, "tavrin: %s\n", text.c_str());
}

}  // namespace

using namespace platform;

gfx::CBitmapFont& bitmap_font() {
  static gfx::CBitmapFont font;
  return font;
}

CBriskLibTavrinApp::CBriskLibTavrinApp(AppOptions options, EngineLink engine)
    : options_(std::move(options)), engine_(std::move(engine)) {
  g_app = this;
}

CBriskLibTavrinApp::~CBriskLibTavrinApp() {
  if (g_app == this) g_app = nullptr;
}

CBriskLibTavrinApp* CBriskLibTavrinApp::instance() {
  return g_app;
}

WindowId CBriskLibTavrinApp::task_bar_icon() const {
  return icon_ ? icon_->window() : 0;
}

int CBriskLibTavrinApp::run() {
  int exit_code = 0;
  if (init_instance(&exit_code)) {
    // Step 10: the main window, modal for the life of the process.
    const int code = main_window_run_ ? main_window_run_(*this) : [this] {
      BackgroundWindow first(
          *windows_, *display_, [this] { activate_running_instance(); },
          [this](bool active) {
            if (WindowId icon = task_bar_icon()) windows_->show(icon, !active);
          });
      return first.run_modal();
    }();
    exit_code = windows_->quitting() ? windows_->quit_code() : std::max(code, 0);
    if (script_ && !script_->failures().empty()) {
      for (const auto& f : script_->failures()) say("script " + f);
      exit_code = kExitScriptFailed;
    }
  }
  exit_instance();
  return exit_code;
}

bool CBriskLibTavrinApp::start_platform(int* exit_code) {
  windows_ = std::make_unique<WindowSystem>();
  display_ = std::make_unique<Display>(*windows_);
  std::string why;
  BackendOptions bo;
  bo.headless = options_.headless;
  bo.zoom = options_.zoom;
  backend_ = SdlBackend::open(*windows_, *display_, bo, &why);
  if (!backend_) {
    say("cannot open the display: " + why);
    *exit_code = kExitPlatformFailed;
    return false;
  }
  task_bar_ = std::make_unique<TaskBar>(*windows_, *display_);
  input_panel_ = std::make_unique<InputPanel>(*windows_, *display_);
  // A desktop keyboard types without the plate; a headless run has none.
  // The user's stored choice applies once the paths are known.
  touch_machine() = {.forced = options_.touch,
                     .headless = options_.headless,
                     .keyboard = InputPanel::keyboard_attached()};
  input_panel_->set_plate(touch_plate_wanted(kTouchAuto, touch_machine()));
  windows_->add_observer([this] { track_main_window(); });
  if (!options_.ca_file.empty()) set_default_ca_file(options_.ca_file);
  if (!options_.script.empty()) {
    auto steps = ScriptPlayer::load(options_.script, &why);
    if (!steps) {
      say("script " + why);
      *exit_code = kExitScriptFailed;
      return false;
    }
    script_ = std::make_unique<ScriptPlayer>(*windows_, *display_, std::move(*steps));
  }
  return true;
}

bool CBriskLibTavrinApp::init_instance(int* exit_code) {
  // 1. One client per user: a second start brings the first forward and
  // ends. When the first has no window yet, we look once more after 250 ms
  // and then start anyway.
  single_ = std::make_unique<SingleInstance>("Dialog", options_.instance_dir);
  if (!single_->acquire()) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (attempt == 1) std::this_thread::sleep_for(std::chrono::milliseconds(250));
      if (single_->ask_running_to_activate(2000)) {
        *exit_code = 0;
        return false;
      }
    }
  }
  // 2-4. The platform: windows, display, task bar, input panel.
  if (!start_platform(exit_code)) return false;
  if (single_->held()) {
    single_->listen([this] {
      // Listener thread: the window's existence answers at once (a busy UI
      // thread must not make a second client start); the activation itself
      // runs on the UI thread in turn.
      if (main_window_.load() == 0) return false;
      return windows_->post_call([this] { activate_running_instance(); });
    });
  }
  // 5. The paths: beside the executable for a portable copy, the user's
  // own folders (made and filled on the first start) for an installed one.
  if (!options_.install_folder.empty()) {
    app_paths() = AppPaths::form(options_.install_folder);
  } else {
    const PathChoice choice = choose_paths(PathEnvironment::current());
    std::string why;
    if (!prepare_user_folders(choice, &why)) {
      say(why);
      *exit_code = kExitPlatformFailed;
      return false;
    }
    if (!why.empty()) say(why);
    app_paths() = choice.paths;
    if (choice.installed) shipped_theme_folder() = choice.shared_folder / "Theme";
  }
  // The touch keyboard as the user chose it (--touch still wins). Read
  // from the file alone: the switches themselves are first taken once the
  // settings file is read, since one follows the Sound setting.
  SwitchSettings stored;
  (void)load_switches(switch_settings_file(), stored);
  input_panel_->set_plate(touch_plate_wanted(stored.touch_keyboard, touch_machine()));
  // What the pinyin keyboard learns from choices is kept beside the history.
  Pinyin::set_user_folder(to_path(app_paths().database_path).parent_path() / "Pinyin");
  // 6. The bitmap font; without it bitmap text draws nothing.
  const auto font_path = to_path(app_paths().font_file_path);
  if (!bitmap_font().load(font_path.string())) {
    say("cannot open the bitmap font " + font_path.string());
    message_box(*windows_, *display_, 0, app_paths().font_file_path, app_paths().font_file_path);
  }
  // 7. The engine.
  engine_started_ = true;
  engine_ok_ = engine_.init && engine_.init() != 0;
  if (!engine_ok_) {
    say("initialising the engine failed");
    message_box(*windows_, *display_, 0, u"初始化LibTavrin失败！！程序将退出", u"塔文提示");
    *exit_code = kExitEngineFailed;
    return false;
  }
  // 8. The theme (values stay at their defaults without a file).
  load_theme(app_paths().theme_file(), theme_colors());
  // 9. The task-bar icon.
  icon_ = std::make_unique<TaskBarIcon>(
      *windows_, *display_, to_path(app_paths().theme_folder + u"TavrinGroupMsg.png").string(),
      [this] { activate_running_instance(); });
  return true;
}

void CBriskLibTavrinApp::exit_instance() {
  // 1-3. Log out and stop the engine (only what was started).
  if (engine_ok_ && engine_.loginout) engine_.loginout();
  if (engine_started_ && engine_.terminate) engine_.terminate();
  engine_started_ = engine_ok_ = false;
  // 4. The data connection the login brought up.
  if (connection_) Network::release(connection_);
  connection_ = 0;
  // 5. The platform, in reverse order of making.
  icon_.reset();
  script_.reset();
  input_panel_.reset();
  task_bar_.reset();
  single_.reset();  // stops the listener before the windows go
  Sound::shutdown();
  backend_.reset();
  display_.reset();
  windows_.reset();
}

void CBriskLibTavrinApp::track_main_window() {
  main_window_.store(windows_->find_window({}, kMainTitle));
}

void CBriskLibTavrinApp::request_attention() {
  if (backend_) backend_->request_attention();
}

int CBriskLibTavrinApp::activate_running_instance() {
  if (!windows_) return 0;
  const WindowId w = windows_->find_window({}, kMainTitle);
  if (!w) return 0;
  windows_->set_foreground(true);
  if (backend_) backend_->raise();
  windows_->move(w, Rect::from_size(0, Display::kTaskBarHeight, Display::kWidth, Display::kHeight));
  windows_->show(w, true);
  // While a modal screen runs over the window, that screen keeps the
  // activation; the window itself comes forward otherwise.
  if (windows_->enabled(w)) {
    windows_->set_active(w);
    windows_->set_focus(w);
  } else {
    const auto tops = windows_->top_levels();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
      const std::string cls = windows_->class_name(*it);
      if (windows_->visible(*it) && windows_->enabled(*it) && cls != "HHTaskBar" &&
          cls != "SipWndClass") {
        windows_->set_active(*it);
        break;
      }
    }
  }
  return 1;
}

}  // namespace tavrin::shell
