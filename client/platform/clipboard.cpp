#include "platform/clipboard.h"

#include <SDL.h>

#include <mutex>

#include "platform/text_codec.h"

namespace tavrin::platform {
namespace {
std::mutex g_mutex;
std::optional<std::u16string> g_text;  // guarded by g_mutex

bool desktop() {
  return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}
}  // namespace

void Clipboard::set_text(const std::u16string& text) {
  {
    std::lock_guard lock(g_mutex);
    g_text = text;
  }
  if (desktop()) SDL_SetClipboardText(utf16_to_utf8(text).c_str());
}

std::optional<std::u16string> Clipboard::text() {
  if (desktop() && SDL_HasClipboardText()) {
    char* t = SDL_GetClipboardText();
    std::u16string s = utf8_to_utf16(t ? t : "");
    SDL_free(t);
    return s;
  }
  std::lock_guard lock(g_mutex);
  return g_text;
}

void Clipboard::clear() {
  {
    std::lock_guard lock(g_mutex);
    g_text.reset();
  }
  if (desktop()) SDL_SetClipboardText("");
}

}  // namespace tavrin::platform
