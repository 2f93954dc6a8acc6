// Sound: plays a WAV file once, asynchronously (the call returns at once and
// nothing stops the sound). Without an audio device, or for a missing or
// broken file, nothing plays and no one is told, as the notifications want.
// UI thread.
#pragma once

#include <string>

namespace tavrin::platform {

class Sound {
 public:
  // true when the file was decoded and handed to the audio device.
  static bool play_async(const std::string& wav_path);
  // How many sounds were started; for tests of the notifications.
  static int played();
  // Releases the audio device at process end.
  static void shutdown();
};

}  // namespace tavrin::platform
