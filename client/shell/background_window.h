// The client's first window until the login screen exists: the theme's
// main background at (0, 52), 480 x 800, below the task bar, titled
// "BriskTavrin" so that a second start finds and activates it. It holds no
// screen of its own: it only shows that the client runs. UI thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/image.h"
#include "platform/messages.h"

namespace tavrin::platform {
class Display;
class WindowSystem;
}  // namespace tavrin::platform

namespace tavrin::shell {

class BackgroundWindow {
 public:
  // on_bring_forward runs for message 7777; on_activate with the new state.
  BackgroundWindow(platform::WindowSystem& windows, platform::Display& display,
                   std::function<void()> on_bring_forward, std::function<void(bool)> on_activate);
  ~BackgroundWindow();
  BackgroundWindow(const BackgroundWindow&) = delete;
  BackgroundWindow& operator=(const BackgroundWindow&) = delete;

  platform::WindowId window() const { return window_; }
  int run_modal();

 private:
  intptr_t handle(const platform::Message& m);
  void paint();

  platform::WindowSystem& windows_;
  platform::Display& display_;
  std::function<void()> on_bring_forward_;
  std::function<void(bool)> on_activate_;
  std::shared_ptr<const platform::ArgbImage> background_;  // shared with the main window's
  platform::WindowId window_ = 0;
};

}  // namespace tavrin::shell
