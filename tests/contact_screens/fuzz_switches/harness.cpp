// Any bytes as the switches file: reading never fails and leaves every
// switch 0 or 1; what it read writes back and reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shell/switch_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavrin::shell::SwitchSettings s;
  tavrin::shell::load_switches_text(std::string(reinterpret_cast<const char*>(data), size), s);
  for (int v : {s.online_sound, s.group_sound, s.block_group_messages, s.keep_chat_log})
    if (v != 0 && v != 1) std::abort();
  return 0;
}
