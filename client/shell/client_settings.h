// The user's settings between runs (ClientSettings) and the settings file
// "BriskLibTavrinSetting.xml" that keeps them. Read once when the main
// window is built, written when the user leaves through the menu.
// UI thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tavrin::shell {

struct ClientSettings {
  int32_t login_status = 1;  // 1 online, 2 hidden, 3 away, 4 busy
  int32_t silence = 0;
  int32_t sound = 0;
  int32_t vibrate = 1;
  friend bool operator==(const ClientSettings&, const ClientSettings&) = default;
};

// The process-wide settings.
ClientSettings& client_settings();

// Reads the file into settings. A missing or broken file, or one without a
// "Settings" element, leaves everything as it was (false). The children of
// "Settings" are taken by position, whatever their names; a missing element
// ends the walk and a missing attribute leaves its value.
bool load_settings(const std::filesystem::path& file, ClientSettings& settings);
// The same for the file's text.
bool load_settings_text(const std::string& xml, ClientSettings& settings);
// Writes the whole file, replacing the old one only once the new one is
// complete. false when it could not be written.
bool save_settings(const std::filesystem::path& file, const ClientSettings& settings);

}  // namespace tavrin::shell
