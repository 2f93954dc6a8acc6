// Screen: the base of every full-screen window of the client (the login
// screen, the main window, each secondary screen, the message and input
// boxes). A screen is a layout table plus a few handlers; this base owns the
// rest:
//  - the window (480 x 800 at (0, 52) below the task bar unless the screen
//    says otherwise), its composition surface and its skin images;
//  - dispatch: paint (the screen paints its surface through a Painter, the
//    base presents it), stylus in screen coordinates (window y + 52 for a
//    full screen), keys, commands, menu commands (8009), timers, and engine
//    messages (1024 + code) adopted as EngineMessages that free what the
//    receiver owns unless a handler takes it;
//  - the modal run, with the shell's bars hidden for boxes that ask for it;
//  - the page transition over the screen's own window.
//
// The screen object owns its window: destroying the object destroys the
// window. UI thread only.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "bridge/EngineMessages.h"
#include "controls/Layout.h"
#include "controls/UiContext.h"
#include "gfx/CSkinImage.h"
#include "gfx/CSurface.h"
#include "gfx/Painter.h"
#include "platform/display.h"
#include "platform/window_system.h"

namespace tavrin::controls {

// Where full screens stand: below the 52-row task bar, 480 x 800.
inline constexpr Rect kFullScreen{0, platform::Display::kTaskBarHeight, platform::Display::kWidth,
                                  platform::Display::kTaskBarHeight + platform::Display::kHeight};
// Boxes that cover the whole display, task bar included.
inline constexpr Rect kWholeDisplay{0, 0, platform::Display::kWidth, platform::Display::kHeight};

struct ScreenSpec {
  std::string class_name;
  std::u16string title;
  Rect rect = kFullScreen;  // screen coordinates
  platform::WindowId owner = 0;
  bool topmost = false;
  bool hide_shell_bars = false;  // hide the task bar and input-panel button while running
};

class Screen {
 public:
  explicit Screen(ScreenSpec spec, UiContext ui = UiContext::current());
  virtual ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // Creates the window (once), then on_create(); false when either failed.
  bool create();
  // Creates the window when needed and runs it modally; the code given to
  // end_modal (0 when the window was destroyed or the system quit).
  int run_modal();
  void end_modal(int code);
  bool running() const { return running_; }
  // Destroys the window (on_destroy first); the object may be created again.
  void destroy();

  platform::WindowId window() const { return window_; }
  const ScreenSpec& spec() const { return spec_; }
  // Before create(): the window disabled while this one runs modally.
  void set_owner(platform::WindowId owner) { spec_.owner = owner; }
  UiContext& ui() { return ui_; }
  const shell::ThemeColors& theme() const { return *ui_.theme; }
  platform::WindowSystem& windows() const { return *ui_.windows; }

  // Paints the surface now and presents it (when the window is shown).
  void repaint();
  // Asks for a paint when the queue is next empty.
  void invalidate();

  // Animates from what the display shows at this window to its freshly
  // painted surface (CPageTransition's styles; 7 for a closing child).
  void play_transition(int style);

  // The composition surface (the window's size), for transitions and tests.
  gfx::CSurface& surface() { return surface_; }

 protected:
  // --- what a screen writes ---
  virtual bool on_create() { return true; }
  virtual void on_destroy() {}
  // Draws the whole window; the base presents the surface afterwards.
  virtual void on_paint(gfx::Painter& painter) {}
  // Stylus in screen coordinates; the default calls on_tap for an up.
  virtual void on_stylus(platform::StylusAction action, Point screen);
  virtual void on_tap(Point screen) {}
  virtual bool on_key(uint32_t key_code) { return false; }
  virtual void on_char(char16_t ch) {}
  virtual void on_command(int command) {}
  virtual void on_menu(int menu_id, int index) {}
  virtual void on_timer(uintptr_t timer_id) {}
  // An engine message; true when handled (the message frees what it still
  // owns when the handler returns).
  virtual bool on_engine(bridge::EngineMessage& message) { return false; }
  virtual void on_activate(bool active) {}
  // Everything else; the window's default answer is 0.
  virtual intptr_t on_message(const platform::Message& m) { return 0; }

  // --- helpers ---
  // A skin image of the theme folder, loaded once per screen (an empty
  // image that draws nothing when the file is missing).
  const gfx::CSkinImage& skin(const std::string& file);
  Point to_screen(Point client) const { return {client.x + spec_.rect.left, client.y + spec_.rect.top}; }
  Rect to_client(const Rect& screen) const {
    return screen.offset(-spec_.rect.left, -spec_.rect.top);
  }
  void set_timer(uintptr_t id, int period_ms);
  void kill_timer(uintptr_t id);

 private:
  intptr_t dispatch(const platform::Message& m);
  void paint_and_present();
  void repaint_children();

  ScreenSpec spec_;
  UiContext ui_;
  platform::WindowId window_ = 0;
  bool created_ = false;
  bool running_ = false;
  gfx::CSurface surface_;
  std::map<std::string, std::unique_ptr<gfx::CSkinImage>> skins_;
};

}  // namespace tavrin::controls
