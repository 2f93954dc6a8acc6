// The choices of the settings screen that the settings file has no place
// for: a friend coming online, group messages with sound, group messages
// blocked, the chat log kept, and the touch keyboard. They persist in
// "BriskLibTavrinSwitches.xml" beside the settings file, written whenever
// the settings screen changes one; its attributes are looked up by name, so
// a file from before a choice existed reads that choice as its default and
// an older client reads a newer file without harm. The chat window reads
// keep_chat_log before logging a line. UI thread.
#pragma once

#include <filesystem>
#include <string>

namespace tavrin::shell {

struct SwitchSettings {
  int online_sound = 0;  // a missing file takes the Sound setting
  int group_sound = 1;
  int block_group_messages = 0;
  int keep_chat_log = 1;
  int touch_keyboard = 0;  // a TouchKeyboard value
  friend bool operator==(const SwitchSettings&, const SwitchSettings&) = default;
};

// Whether the input panel shows its keyboard plate: automatically (where no
// desktop keyboard types), always, or never.
enum TouchKeyboard : int { kTouchAuto = 0, kTouchAlways = 1, kTouchNever = 2 };

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

// What the command line and the machine say about the touch keyboard: the
// plate forced on (--touch), a run without a display, a desktop keyboard.
struct TouchMachine {
  bool forced = false;
  bool headless = false;
  bool keyboard = true;
};
// The plate is shown when forced, else as chosen; kTouchAuto shows it where
// no desktop keyboard types (headless, or none attached).
bool touch_plate_wanted(int choice, const TouchMachine& machine);
// The process-wide facts, set by the application at start-up.
TouchMachine& touch_machine();
// Puts the plate of the running input panel on or off by the stored choice.
void apply_touch_keyboard();

}  // namespace tavrin::shell
