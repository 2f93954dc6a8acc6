#include "controls/ShellBars.h"

#include "platform/display.h"
#include "platform/input_panel.h"
#include "platform/window_system.h"

namespace tavrin::controls {
namespace {
int g_hidden = 0;  // nesting of hide_shell_bars; UI thread

void set_bar(const char* cls, bool shown) {
  auto* ws = platform::WindowSystem::instance();
  if (!ws) return;
  if (platform::WindowId w = ws->find_window(cls, {})) {
    ws->show(w, shown);
    ws->enable(w, shown);
  }
}
}  // namespace

void hide_shell_bars() {
  if (g_hidden++ > 0) return;
  set_bar("HHTaskBar", false);
  set_bar("MS_SIPBUTTON", false);
}

void show_shell_bars() {
  if (g_hidden == 0 || --g_hidden > 0) return;
  set_bar("HHTaskBar", true);
  set_bar("MS_SIPBUTTON", true);
}

int sip_shown() {
  auto* panel = platform::InputPanel::instance();
  if (!panel) return -1;
  return panel->shown() ? 1 : 0;
}

int sip_top_edge() {
  auto* panel = platform::InputPanel::instance();
  return panel ? panel->top_edge() : platform::Display::kHeight;
}

bool sip_show() {
  auto* panel = platform::InputPanel::instance();
  // Tried twice, as the device's panel sometimes refuses the first time.
  return panel && (panel->show(true) || panel->show(true));
}

bool sip_hide() {
  auto* panel = platform::InputPanel::instance();
  return panel && panel->show(false);
}

}  // namespace tavrin::controls
