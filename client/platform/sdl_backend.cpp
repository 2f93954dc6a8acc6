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
  Rect text_input_rect;  // as last told to the input method
  std::vector<SDL_Event> held;  // taken by wait(), handled by the next poll()
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
  // The input method's composition comes as text-editing events, drawn by
  // the focused box at its caret.
  SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
  SDL_StartTextInput();
  b->wake_event_ = SDL_RegisterEvents(1);
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
  // The candidate window follows the focused box's caret.
  if (!headless_ && windows_.text_input_rect() != state_->text_input_rect) {
    state_->text_input_rect = windows_.text_input_rect();
    const Rect r = state_->text_input_rect;
    SDL_Rect sr{r.left * zoom_, r.top * zoom_, r.width() * zoom_, r.height() * zoom_};
    SDL_SetTextInputRect(&sr);
  }
  std::vector<SDL_Event> held;
  held.swap(state_->held);
  size_t next_held = 0;
  while (next_held < held.size() ? (e = held[next_held++], true) : SDL_PollEvent(&e) != 0) {
    if (wake_event_ != 0 && wake_event_ != uint32_t(-1) && e.type == wake_event_) {
      wake_pending_.store(false);
      continue;
    }
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
        // The committed text ends any composition, then goes in whole.
        windows_.composition({}, 0);
        for (char16_t c : utf8_to_utf16(e.text.text)) windows_.character(c);
        break;
      }
      case SDL_TEXTEDITING: {
        // The cursor is counted in characters; ours in UTF-16 units.
        const std::u16string text = utf8_to_utf16(e.edit.text);
        int cursor = 0;
        for (int n = 0; size_t(cursor) < text.size() && n < e.edit.start; ++n)
          cursor += text[size_t(cursor)] >= 0xD800 && text[size_t(cursor)] < 0xDC00 ? 2 : 1;
        windows_.composition(text, cursor);
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

namespace {

// An input method's answers (a composition, a commit) come over D-Bus, which
// SDL reads only when it pumps: with one configured, the wait is bounded so
// that typed Chinese is not held until the next key or wake.
bool input_method_configured() {
  for (const char* name : {"SDL_IM_MODULE", "XMODIFIERS"}) {
    const char* v = std::getenv(name);
    if (v && *v) return true;
  }
  return false;
}

}  // namespace

int SdlBackend::max_wait_ms() {
  // Windowed, wait() returns as soon as input or a wake comes.
  static const bool input_method = input_method_configured();
  constexpr int kInputMethodPumpMs = 50;
  return input_method ? kInputMethodPumpMs : -1;
}

void SdlBackend::wait(int timeout_ms) {
  SDL_Event e;
  const int got = timeout_ms < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeout_ms);
  if (got) state_->held.push_back(e);
}

void SdlBackend::wake() {
  if (wake_event_ == 0 || wake_event_ == uint32_t(-1)) return;
  if (wake_pending_.exchange(true)) return;
  SDL_Event e{};
  e.type = wake_event_;
  if (SDL_PushEvent(&e) != 1) wake_pending_.store(false);
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
