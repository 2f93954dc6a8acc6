#include "controls/Screen.h"

#include "bridge/EngineBridge.h"
#include "controls/CPageTransition.h"
#include "controls/ShellBars.h"

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
  // The frame covered the child controls: they draw again over it at once.
  for (WindowId child : windows().children(window_)) {
    if (!windows().visible(child)) continue;
    windows().invalidate(child);
    windows().update(child);
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
  const Rect r = windows().screen_rect(window_);
  surface_.present(r.left, r.top);
}

void Screen::play_transition(int style) {
  if (!window_) return;
  gfx::PixelCanvas canvas = surface_.lock();
  if (canvas.valid()) {
    gfx::Painter painter(canvas);
    on_paint(painter);
  }
  CPageTransition t;
  if (t.create(style) &&
      t.prepare(window_, spec_.rect.width(), spec_.rect.height(), &surface_))
    t.run();
  t.free();
}

const gfx::CSkinImage& Screen::skin(const std::string& file) {
  auto& slot = skins_[file];
  if (!slot) {
    slot = std::make_unique<gfx::CSkinImage>();
    (void)slot->load(ui_.theme_folder + file);
  }
  return *slot;
}

void Screen::set_timer(uintptr_t id, int period_ms) {
  if (window_) windows().set_timer(window_, id, period_ms);
}

void Screen::kill_timer(uintptr_t id) {
  if (window_) windows().kill_timer(window_, id);
}

void Screen::on_stylus(StylusAction action, Point screen) {
  if (action == StylusAction::kUp) on_tap(screen);
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
      on_stylus(StylusAction::kDown, to_screen(client));
      return 0;
    case msg::kStylusMove:
      on_stylus(StylusAction::kMove, to_screen(client));
      return 0;
    case msg::kStylusUp:
      on_stylus(StylusAction::kUp, to_screen(client));
      return 0;
    case msg::kKeyDown:
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
      return on_message(m);
  }
}

}  // namespace tavrin::controls
