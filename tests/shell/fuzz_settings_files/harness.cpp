// Settings, switches and theme files as a user or a theme package may hand them over.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/client_settings.h"
#include "shell/switch_settings.h"
#include "shell/theme_colors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tavrin::shell::ClientSettings settings;
  tavrin::shell::load_settings_text(text, settings);
  tavrin::shell::SwitchSettings switches;
  tavrin::shell::load_switches_text(text, switches);
  tavrin::shell::ThemeColors theme;
  tavrin::shell::load_theme_text(text, theme);
  return 0;
}
