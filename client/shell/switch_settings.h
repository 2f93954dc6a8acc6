// The four notification switches of the settings screen that the settings
// file has no place for: a friend coming online, group messages with sound,
// group messages blocked, the chat log kept. They persist in
// "BriskLibTavrinSwitches.xml" beside the settings file, written whenever
// the settings screen changes one. The chat window reads keep_chat_log
// before logging a line. UI thread.
#pragma once

#include <filesystem>
#include <string>

namespace tavrin::shell {

struct SwitchSettings {
  int online_sound = 0;  // a missing file takes the Sound setting
  int group_sound = 1;
  int block_group_messages = 0;
  int keep_chat_log = 1;
  friend bool operator==(const SwitchSettings&, const SwitchSettings&) = default;
};

// The process-wide switches; the first call reads the file (defaults when
// it is missing or broken, "online" following the Sound setting).
SwitchSettings& switch_settings();
// The file beside the settings file.
std::filesystem::path switch_settings_file();

// Reads what the file holds over settings (attributes looked up by name;
// a missing one keeps its value; every value is taken as 0 or 1). false,
// and nothing changed, for a missing or broken file.
bool load_switches(const std::filesystem::path& file, SwitchSettings& settings);
bool load_switches_text(const std::string& xml, SwitchSettings& settings);
// Writes the whole file, replacing the old one once the new one is complete.
bool save_switches(const std::filesystem::path& file, const SwitchSettings& settings);

}  // namespace tavrin::shell
