#include "controls/Screen.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "bridge/EngineBridge.h"
#include "controls/CPageTransition.h"
#include "controls/ShellBars.h"
#include "shell/path_choice.h"

namespace tavrin::controls {

using namespace platform;

Screen::Screen(ScreenSpec spec, UiContext ui) : spec_(std::move(spec)), ui_(std::move(ui)) {
  if (!ui_.windows) ui_.windows = WindowSystem::instance();
  if (!ui_.theme) ui_.theme = &shell::theme_colors();
}

Screen::~Screen() {
  // A derived screen is already gone: its handlers must not run now.
  if (window_ && ui_.windows && ui_.windows->exists(window_)) {
    ui_.windows->set_handler(window_, nullptr);
    ui_.windows->destroy(window_);
  }
  window_ = 0;
}

bool Screen::create() {
  if (window_ && windows().exists(window_)) return true;
  if (!ui_.windows) return false;
  bridge::install(windows());
  WindowSpec ws;
  ws.owner = spec_.owner;
  ws.rect = spec_.rect;
  ws.title = spec_.title;
  ws.class_name = spec_.class_name;
  ws.topmost = spec_.topmost;
  ws.visible = false;
  ws.handler = [this](const Message& m) { return dispatch(m); };
  window_ = windows().create(std::move(ws));
  if (!window_) return false;
  (void)surface_.create(window_, spec_.rect.width(), spec_.rect.height());
  created_ = on_create();
  if (!created_) destroy();
  return created_;
}

void Screen::destroy() {
  if (!window_) return;
  const WindowId w = window_;
  on_destroy();
  window_ = 0;
  created_ = false;
  surface_.free();
  skins_.clear();
  if (ui_.windows && ui_.windows->exists(w)) {
    ui_.windows->set_handler(w, nullptr);
    ui_.windows->destroy(w);
  }
}

int Screen::run_modal() {
  if (!create()) return 0;
  if (spec_.hide_shell_bars) hide_shell_bars();
  running_ = true;
  const int code = windows().run_modal(window_);
  running_ = false;
  if (spec_.hide_shell_bars) show_shell_bars();
  return code == WindowSystem::kQuitCode ? 0 : code;
}

void Screen::end_modal(int code) {
  if (window_) windows().end_modal(window_, code);
}

void Screen::repaint() {
  if (!window_ || !windows().visible(window_)) return;
  paint_and_present();
  repaint_children();
}

void Screen::repaint_children() {
  if (!window_) return;
  // The frame covered the lists and the child controls: they draw again
  // over it at once.
  for (ScrollView* list : lists_)
    if (list->owner() == window_) list->paint();
  for (WindowId child : windows().children(window_)) {
    if (!windows().visible(child)) continue;
    windows().invalidate(child);
    windows().update(child);
  }
  on_paint_children();
  // A pop-up belongs above the lists it was drawn over.
  const Rect popup = popup_rect().intersect({0, 0, spec_.rect.width(), spec_.rect.height()});
  if (!popup.empty()) {
    const Rect r = windows().screen_rect(window_);
    surface_.present_area(popup, r.left, r.top);
  }
}

const SoftKey* Screen::soft_key(int command) const {
  for (const SoftKey& k : frame_.keys)
    if (k.command == command) return &k;
  return nullptr;
}

void Screen::paint_frame(gfx::Painter& p) {
  using namespace platform::text;
  const auto& t = theme();
  const bool full = spec_.rect.height() > frame_.bar.top;
  if (frame_.bands && !frame_.title.empty())
    p.fill_shaded(frame_.title_band, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  if (!frame_.title.empty())
    p.text(frame_.title,
           {frame_.title_band.left + 12, frame_.title_band.top, frame_.title_band.right - 12,
            frame_.title_band.bottom},
           frame_.title_height, frame_.title_colour.value_or(t.bottom_text_color),
           kCenter | kVCenter | kSingleLine);
  if (frame_.keys.empty() || !full) return;
  if (frame_.bands) p.fill_shaded(frame_.bar, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  for (const SoftKey& k : frame_.keys) {
    // A long caption gets a smaller face, so it stays inside its key.
    const int n = int(k.caption.size());
    const int height = n == 0 ? 30 : std::min(30, k.rect.width() / n);
    p.text(k.caption, k.rect, height, t.bottom_text_color, kCenter | kVCenter | kSingleLine);
  }
}

void Screen::invalidate() {
  if (window_) windows().invalidate(window_);
}

void Screen::paint_and_present() {
  gfx::PixelCanvas canvas = surface_.lock();
  if (!canvas.valid()) return;
  gfx::Painter painter(canvas);
  on_paint(painter);
  paint_frame(painter);
  const Rect r = windows().screen_rect(window_);
  surface_.present(r.left, r.top);
}

void Screen::play_transition(int style) {
  if (!window_) return;
  gfx::PixelCanvas canvas = surface_.lock();
  if (canvas.valid()) {
    gfx::Painter painter(canvas);
    on_paint(painter);
    paint_frame(painter);
  }
  CPageTransition t;
  if (t.create(style) && t.prepare(window_, spec_.rect.width(), spec_.rect.height(), &surface_))
    t.run();
  t.free();
}

namespace {

// Loads a skin image of the theme folder. One that is missing, broken or
// past the picture limits is taken from the shipped skin images instead
// (an installed copy's); failing that, the image stays empty and draws
// nothing, as a missing one always did. A bad file is said, once.
void load_skin(gfx::CSkinImage& image, const std::string& folder, const std::string& file) {
  const std::string path = folder + file;
  if (image.load(path)) return;
  const std::filesystem::path& shipped = shell::shipped_theme_folder();
  static std::set<std::string> said;  // UI thread
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && said.insert(path).second)
    std::fprintf(stderr, "tavrin: the skin image %s is no picture the client draws (%s)\n",
                 path.c_str(), shipped.empty() ? "left out" : "the shipped one is used");
  if (!shipped.empty()) (void)image.load((shipped / file).string());
}

}  // namespace

const gfx::CSkinImage& Screen::skin(const std::string& file) {
  auto& slot = skins_[file];
  if (!slot) {
    slot = std::make_unique<gfx::CSkinImage>();
    load_skin(*slot, ui_.theme_folder, file);
  }
  return *slot;
}

void Screen::reload_skins() {
  for (auto& [file, image] : skins_) load_skin(*image, ui_.theme_folder, file);
}

void Screen::set_timer(uintptr_t id, int period_ms) {
  if (window_) windows().set_timer(window_, id, period_ms);
}

void Screen::kill_timer(uintptr_t id) {
  if (window_) windows().kill_timer(window_, id);
}

void Screen::on_stylus(StylusAction action, Point p) {
  if (action == StylusAction::kUp) on_tap(p);
}

void Screen::on_tap(Point p) {
  if (auto id = hit(std::span<const HotArea<int>>(tap_areas_), p)) on_command(*id);
}

void Screen::stylus(StylusAction action, Point p) {
  const SoftKey* key = nullptr;
  for (const SoftKey& k : frame_.keys)
    if (k.rect.contains(p)) key = &k;
  // A press that began on a soft key stays the bar's: its up runs the key
  // it ends on, and the screen below never sees half a tap.
  if (action == StylusAction::kDown) bar_pressed_ = key != nullptr;
  if (bar_pressed_) {
    if (action != StylusAction::kUp) return;
    bar_pressed_ = false;
    if (key) on_command(key->command);
    return;
  }
  // A tap on the screen itself is outside every box: the panel goes away.
  if (action == StylusAction::kDown && sip_shown() == 1) (void)sip_hide();
  // The lists take what falls on them, unless a pop-up is up over them.
  if (action == StylusAction::kDown) {
    pressed_list_ = nullptr;
    if (popup_rect().empty())
      for (ScrollView* list : lists_)
        if (list->owner() == window_ && list->stylus_down(to_screen(p))) pressed_list_ = list;
    if (pressed_list_) return;
  } else if (pressed_list_) {
    ScrollView* list = pressed_list_;
    if (action == StylusAction::kUp) pressed_list_ = nullptr;
    if (list->stylus(action, to_screen(p))) return;
  }
  on_stylus(action, p);
}

intptr_t Screen::dispatch(const Message& m) {
  if (bridge::is_engine_message(m.id)) {
    bridge::EngineMessage message(bridge::engine_code(m.id), intptr_t(m.wparam), m.lparam);
    return on_engine(message) ? 1 : 0;
  }
  const Point client{lparam_x(m.lparam), lparam_y(m.lparam)};
  switch (m.id) {
    case msg::kPaint:
      paint_and_present();
      repaint_children();
      return 0;
    case msg::kEraseBackground:
      return 1;  // the paint covers the whole window
    case msg::kStylusDown:
      stylus(StylusAction::kDown, client);
      return 0;
    case msg::kStylusMove:
      stylus(StylusAction::kMove, client);
      return 0;
    case msg::kStylusUp:
      stylus(StylusAction::kUp, client);
      return 0;
    case msg::kKeyDown:
      // Escape puts the panel away first; only then does it reach the screen.
      if (uint32_t(m.wparam) == key::kEscape && sip_shown() == 1) {
        (void)sip_hide();
        return 1;
      }
      return on_key(uint32_t(m.wparam)) ? 1 : 0;
    case msg::kChar:
      on_char(char16_t(m.wparam));
      return 0;
    case msg::kCommand:
      on_command(int(m.wparam));
      return 0;
    case msg::kMenuCommand:
      on_menu(int(m.lparam), int(m.wparam));
      return 0;
    case msg::kTimer:
      on_timer(m.wparam);
      return 0;
    case msg::kActivate:
      on_activate(m.wparam != 0);
      return 0;
    default:
      for (ScrollView* list : lists_)
        if (m.id == list->step_message() && m.wparam == list->id() && list->owner() == window_) {
          list->inertia_step();
          return 0;
        }
      return on_message(m);
  }
}

}  // namespace tavrin::controls
