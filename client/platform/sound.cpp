// WAV playback through SDL's queued audio: the device is opened with the
// first file's format and reopened when another format comes.
#include "platform/sound.h"

#include <SDL.h>

#include <atomic>

namespace tavrin::platform {
namespace {
SDL_AudioDeviceID g_device = 0;  // UI thread
SDL_AudioSpec g_spec{};          // UI thread
std::atomic<int> g_played{0};
}  // namespace

bool Sound::play_async(const std::string& path) {
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec spec{};
  Uint8* buf = nullptr;
  Uint32 len = 0;
  if (!SDL_LoadWAV(path.c_str(), &spec, &buf, &len)) return false;
  if (g_device && (spec.freq != g_spec.freq || spec.format != g_spec.format ||
                   spec.channels != g_spec.channels)) {
    SDL_CloseAudioDevice(g_device);
    g_device = 0;
  }
  if (!g_device) {
    g_device = SDL_OpenAudioDevice(nullptr, 0, &spec, &g_spec, 0);
    if (!g_device) {
      SDL_FreeWAV(buf);
      return false;
    }
  }
  // A new sound replaces one still playing, as a notification sound does.
  SDL_ClearQueuedAudio(g_device);
  const bool ok = SDL_QueueAudio(g_device, buf, len) == 0;
  SDL_FreeWAV(buf);
  if (ok) {
    SDL_PauseAudioDevice(g_device, 0);
    ++g_played;
  }
  return ok;
}

int Sound::played() {
  return g_played.load();
}

void Sound::shutdown() {
  if (g_device) SDL_CloseAudioDevice(g_device);
  g_device = 0;
  if (SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace tavrin::platform
