// The desktop behind the display: an SDL2 window showing the 480 x 800 frame
// (optionally zoomed by an integer), the mouse as the stylus, the keyboard
// and text input as keys and characters. Headless, the same code runs on
// SDL's offscreen video driver: nothing is shown and input comes only from
// what tests and scripts inject into the WindowSystem.
// UI thread only (SDL wants its events read on the thread that made them).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/display.h"
#include "platform/window_system.h"

namespace tavrin::platform {

struct BackendOptions {
  bool headless = false;
  int zoom = 1;  // 1 to 4
};

class SdlBackend final : public EventSource, public FrameSink {
 public:
  // Whether the desktop has a display to open a window on.
  static bool display_available();
  // Opens the backend and attaches it to the system and the display; null
  // with a reason in error when SDL cannot start.
  static std::unique_ptr<SdlBackend> open(WindowSystem& windows, Display& display,
                                          const BackendOptions& options, std::string* error);
  ~SdlBackend() override;

  bool headless() const { return headless_; }
  // Brings the desktop window to the front (a second start activates us).
  void raise();
  // Marks the desktop window as wanting attention until it is focused.
  void request_attention();
  // What closing the desktop window does; by default the system quits with 0.
  void set_close_handler(std::function<void()> handler) { on_close_ = std::move(handler); }

  void poll() override;
  int max_wait_ms() override;
  // Windowed, the loop sleeps in SDL's own wait (the X connection and SDL's
  // timers), and wake() posts an event into it; headless it sleeps on the
  // queue as there is nothing to read.
  bool waits_itself() const override { return !headless_; }
  void wait(int timeout_ms) override;
  void wake() override;  // any thread
  void show_frame(const uint16_t* pixels, int width, int height) override;

  struct State;

 private:
  SdlBackend(WindowSystem& windows, Display& display);
  WindowSystem& windows_;
  Display& display_;
  bool headless_ = false;
  int zoom_ = 1;
  bool stylus_down_ = false;
  uint32_t wake_event_ = 0;  // SDL's type for wake(); set before any wait
  // A wake event is in SDL's queue and not yet read by poll(): one is enough.
  std::atomic<bool> wake_pending_{false};
  std::function<void()> on_close_;
  std::unique_ptr<State> state_;
};

}  // namespace tavrin::platform
