// Input scripts as a tester writes them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/script_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  tavrin::platform::ScriptPlayer::parse(std::string(reinterpret_cast<const char*>(data), size),
                                        &error);
  return 0;
}
