// What a screen or control needs of the client around it: the window system,
// the theme's colours and the folder of its skin images. Screens take one at
// construction; current() builds it from the running client's own, so code
// that has none to hand (and tests) can still make one.
#pragma once

#include <string>

#include "platform/window_system.h"
#include "shell/theme_colors.h"

namespace tavrin::controls {

struct UiContext {
  platform::WindowSystem* windows = nullptr;
  shell::ThemeColors* theme = nullptr;
  std::string theme_folder;  // with a trailing separator; skin images live here

  // The process's window system, theme and theme folder.
  static UiContext current();
};

}  // namespace tavrin::controls
