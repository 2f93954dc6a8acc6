// SDL2 window, input translation and frame blitting; see sdl_backend.h.
#include "platform/sdl_backend.h"

#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "platform/text_codec.h"

namespace tavrin::platform {

struct SdlBackend::State {
  SDL_Window* window = nullptr;
  SDL_Surface* frame = nullptr;  // zoomed RGB565 copy of the display
  std::vector<uint16_t> zoomed;
};

namespace {

uint32_t key_code(SDL_Keycode k) {
  switch (k) {
    case SDLK_BACKSPACE:
      return key::kBack;
    case SDLK_TAB:
      return key::kTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return key::kReturn;
    case SDLK_ESCAPE:
      return key::kEscape;
    case SDLK_END:
      return key::kEnd;
    case SDLK_HOME:
      return key::kHome;
    case SDLK_LEFT:
      return key::kLeft;
    case SDLK_UP:
      return key::kUp;
    case SDLK_RIGHT:
      return key::kRight;
    case SDLK_DOWN:
      return key::kDown;
    case SDLK_DELETE:
      return key::kDelete;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return key::kShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return key::kControl;
    default:
      break;
  }
  if (k >= SDLK_a && k <= SDLK_z) return uint32_t('A' + (k - SDLK_a));
  if (k >= SDLK_0 && k <= SDLK_9) return uint32_t('0' + (k - SDLK_0));
  return 0;
}

}  // namespace

SdlBackend::SdlBackend(WindowSystem& windows, Display& display)
    : windows_(windows), display_(display) {}

bool SdlBackend::display_available() {
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wl && *wl);
}

std::unique_ptr<SdlBackend> SdlBackend::open(WindowSystem& windows, Display& display,
                                             const BackendOptions& options, std::string* error) {
  std::unique_ptr<SdlBackend> b(new SdlBackend(windows, display));
  b->headless_ = options.headless || !display_available();
  b->zoom_ = std::clamp(options.zoom, 1, 4);
  b->state_ = std::make_unique<State>();
  if (b->headless_) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = std::string("SDL video: ") + SDL_GetError();
    return nullptr;
  }
  const int w = Display::kWidth * b->zoom_, h = Display::kHeight * b->zoom_;
  b->state_->window = SDL_CreateWindow("Tavrin", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w,
                                       h, b->headless_ ? SDL_WINDOW_HIDDEN : 0);
  if (!b->state_->window) {
    if (error) *error = std::string("SDL window: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  b->state_->zoomed.resize(size_t(w) * size_t(h));
  b->state_->frame = SDL_CreateRGBSurfaceWithFormatFrom(b->state_->zoomed.data(), w, h, 16, w * 2,
                                                        SDL_PIXELFORMAT_RGB565);
  SDL_StartTextInput();
  windows.set_event_source(b.get());
  display.set_sink(b.get());
  b->show_frame(display.frame().data(), Display::kWidth, Display::kHeight);
  return b;
}

SdlBackend::~SdlBackend() {
  display_.set_sink(nullptr);
  windows_.set_event_source(nullptr);
  if (state_) {
    if (state_->frame) SDL_FreeSurface(state_->frame);
    if (state_->window) SDL_DestroyWindow(state_->window);
  }
  SDL_StopTextInput();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlBackend::raise() {
  if (!state_->window) return;
  SDL_ShowWindow(state_->window);
  SDL_RestoreWindow(state_->window);
  SDL_RaiseWindow(state_->window);
  windows_.set_foreground(true);
}

void SdlBackend::request_attention() {
  if (state_->window) SDL_FlashWindow(state_->window, SDL_FLASH_UNTIL_FOCUSED);
}

void SdlBackend::poll() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT:
        if (on_close_)
          on_close_();
        else
          windows_.quit(0);
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) {
          stylus_down_ = true;
          windows_.stylus(StylusAction::kDown, {e.button.x / zoom_, e.button.y / zoom_});
        }
        break;
      case SDL_MOUSEMOTION:
        // A stylus only moves while it touches the screen.
        if (stylus_down_)
          windows_.stylus(StylusAction::kMove, {e.motion.x / zoom_, e.motion.y / zoom_});
        break;
      case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && stylus_down_) {
          stylus_down_ = false;
          windows_.stylus(StylusAction::kUp, {e.button.x / zoom_, e.button.y / zoom_});
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const uint32_t k = key_code(e.key.keysym.sym);
        if (!k) break;
        const bool down = e.type == SDL_KEYDOWN;
        windows_.key(k, down);
        if (!down) break;
        // Characters the text-input events do not carry.
        if (k == key::kBack || k == key::kReturn || k == key::kTab) {
          windows_.character(char16_t(k));
        } else if ((e.key.keysym.mod & KMOD_CTRL) && k >= 'A' && k <= 'Z') {
          windows_.character(char16_t(k - 'A' + 1));
        }
        break;
      }
      case SDL_TEXTINPUT: {
        if (SDL_GetModState() & KMOD_CTRL) break;  // sent as a control character above
        for (char16_t c : utf8_to_utf16(e.text.text)) windows_.character(c);
        break;
      }
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
          windows_.set_foreground(true);
        else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
          windows_.set_foreground(false);
        else if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
          show_frame(display_.frame().data(), Display::kWidth, Display::kHeight);
        break;
      default:
        break;
    }
  }
}

int SdlBackend::max_wait_ms() {
  // SDL cannot wake our queue's condition variable: poll it often enough
  // for the stylus to feel direct. Headless there is nothing to read.
  return headless_ ? -1 : 10;
}

void SdlBackend::show_frame(const uint16_t* pixels, int width, int height) {
  if (headless_ || !state_->window || !state_->frame) return;
  const int zw = width * zoom_;
  uint16_t* out = state_->zoomed.data();
  for (int y = 0; y < height; ++y) {
    uint16_t* row = out + size_t(y) * size_t(zoom_) * size_t(zw);
    for (int x = 0; x < width; ++x)
      for (int k = 0; k < zoom_; ++k)
        row[x * zoom_ + k] = pixels[size_t(y) * size_t(width) + size_t(x)];
    for (int k = 1; k < zoom_; ++k) std::copy_n(row, zw, row + size_t(k) * size_t(zw));
  }
  SDL_Surface* target = SDL_GetWindowSurface(state_->window);
  if (!target) return;
  SDL_BlitSurface(state_->frame, nullptr, target, nullptr);
  SDL_UpdateWindowSurface(state_->window);
}

}  // namespace tavrin::platform
