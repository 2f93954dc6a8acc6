// Screen: the base of every full-screen window of the client (the login
// screen, the main window, each secondary screen, the message and input
// boxes). A screen is a layout table plus a few handlers; this base owns the
// rest:
//  - the window (480 x 800 at (0, 52) below the task bar unless the screen
//    says otherwise), its composition surface and its skin images;
//  - the frame: the title and one soft-key table a screen declares; the base
//    paints them over what the screen drew, hit-tests the keys and hands
//    their commands to on_command;
//  - the input panel's rules: a tap on the screen outside its boxes (a box
//    is a child window and takes its own taps) hides the panel, and so does
//    Escape; soft keys leave it as it is, so they can be used while typing;
//  - dispatch: paint (the screen paints its surface through a Painter, the
//    base presents it, then the child windows and the pop-up over them),
//    stylus in window coordinates, keys, commands, menu commands (8009),
//    timers, and engine messages (1024 + code) adopted as EngineMessages
//    that free what the receiver owns unless a handler takes it;
//  - the modal run, with the shell's bars hidden for boxes that ask for it;
//  - the page transition over the screen's own window.
//
// The screen object owns its window: destroying the object destroys the
// window. UI thread only.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/EngineMessages.h"
#include "controls/Layout.h"
#include "controls/ScrollView.h"
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

// The frame of a full screen, window coordinates: the title band across the
// top and the soft-key bar across the bottom (display rows 740-800, below
// the input panel), with the usual places of its three keys.
inline constexpr Rect kTitleBand{0, 0, 480, 52};
inline constexpr Rect kSoftKeyBar{0, 688, 480, 748};
inline constexpr Rect kLeftKey{0, 688, 120, 748};
inline constexpr Rect kMiddleKey{180, 688, 300, 748};
inline constexpr Rect kRightKey{360, 688, 480, 748};

// One key of the soft-key bar: what it says, where (window coordinates) and
// the command on_command receives when it is tapped.
struct SoftKey {
  std::u16string caption{};
  Rect rect{};
  int command = 0;
};

struct Frame {
  std::u16string title{};  // drawn centred in the title band; none when empty
  Rect title_band = kTitleBand;
  int title_height = 30;
  std::optional<uint32_t> title_colour{};  // the theme's bottom text colour when unset
  std::vector<SoftKey> keys{};
  // Where the keys stand: the usual bar, or a screen's own (the main
  // window's five keys lie in a 50-row bar at the very bottom).
  Rect bar = kSoftKeyBar;
  // The base fills the title band and the bar with the theme's bottom
  // colours; a screen whose skin draws them clears this.
  bool bands = true;
};

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

  const Frame& frame() const { return frame_; }
  // The soft key with this command, for tests (null when there is none).
  const SoftKey* soft_key(int command) const;
  // Redraws the visible child windows over the presented surface, then the
  // pop-up the screen shows over them.
  void repaint_children();

 protected:
  // --- what a screen writes ---
  virtual bool on_create() { return true; }
  virtual void on_destroy() {}
  // Draws the whole window; the base presents the surface afterwards.
  virtual void on_paint(gfx::Painter& painter) {}
  // Stylus in window coordinates, after the soft keys had theirs; the
  // default calls on_tap for an up.
  virtual void on_stylus(platform::StylusAction action, Point p);
  virtual void on_tap(Point p);
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
  // The area of a pop-up strip or menu the screen drew last in on_paint
  // (window coordinates): presented again over the child windows, so it is
  // seen, and hit, above the lists. Empty when none is up.
  virtual Rect popup_rect() const { return {}; }
  // Parts that are neither lists nor child windows but draw over the
  // presented surface too (a counter strip): called after those.
  virtual void on_paint_children() {}

  // Hands a kinetic list of this screen to the base, which draws it over
  // each presented frame (with the child windows), passes it the stylus
  // (in display coordinates) before on_stylus sees it, and steps its
  // inertia. The list stays the screen's; it must outlive the window.
  void add_list(ScrollView& list) { lists_.push_back(&list); }

  // --- the frame ---
  void set_frame(Frame frame) { frame_ = std::move(frame); }
  void set_title(std::u16string title) { frame_.title = std::move(title); }
  void set_soft_keys(std::vector<SoftKey> keys) { frame_.keys = std::move(keys); }
  // The screen's own tap areas (window coordinates): the default on_tap
  // hands the id of the first one hit to on_command, as the soft keys do.
  template <class Id, size_t N>
  void set_tap_areas(const HotArea<Id> (&table)[N]) {
    tap_areas_.clear();
    for (const auto& area : table) tap_areas_.push_back({int(area.id), area.rect});
  }

  // --- helpers ---
  // A skin image of the theme folder, loaded once per screen (an empty
  // image that draws nothing when the file is missing).
  const gfx::CSkinImage& skin(const std::string& file);
  // Loads every skin image this screen holds again, in place (a new theme
  // brought new files): references handed out stay valid.
  void reload_skins();
  // Window to display coordinates, for the parts that work on the display
  // (the kinetic lists, pop-up menus).
  Point to_screen(Point p) const { return {p.x + spec_.rect.left, p.y + spec_.rect.top}; }
  Rect to_screen(const Rect& r) const { return r.offset(spec_.rect.left, spec_.rect.top); }
  void set_timer(uintptr_t id, int period_ms);
  void kill_timer(uintptr_t id);

 private:
  intptr_t dispatch(const platform::Message& m);
  void paint_and_present();
  void paint_frame(gfx::Painter& p);
  void stylus(platform::StylusAction action, Point p);

  ScreenSpec spec_;
  UiContext ui_;
  platform::WindowId window_ = 0;
  bool created_ = false;
  bool running_ = false;
  gfx::CSurface surface_;
  std::map<std::string, std::unique_ptr<gfx::CSkinImage>> skins_;
  Frame frame_;
  std::vector<HotArea<int>> tap_areas_;
  std::vector<ScrollView*> lists_;      // not owned; see add_list
  ScrollView* pressed_list_ = nullptr;  // the list the stylus went down on
  bool bar_pressed_ = false;            // the stylus went down on a soft key
};

}  // namespace tavrin::controls
