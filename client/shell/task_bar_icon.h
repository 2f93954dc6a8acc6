// The client's icon on the shell's task bar: a 33 x 33 child window of
// class "iTavrin_Class" at (130, 3) of the bar, showing "TavrinGroupMsg.png"
// over the bar's own background. Tapping it brings the client forward. The
// main window hides it while it is active and shows it otherwise.
// UI thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/image.h"
#include "platform/messages.h"

namespace tavrin::platform {
class Display;
class WindowSystem;
}  // namespace tavrin::platform

namespace tavrin::shell {

class TaskBarIcon {
 public:
  static constexpr int kSize = 33;

  // No icon window is made when there is no task bar (window() is then 0).
  TaskBarIcon(platform::WindowSystem& windows, platform::Display& display,
              const std::string& image_path, std::function<void()> on_tap);
  ~TaskBarIcon();
  TaskBarIcon(const TaskBarIcon&) = delete;
  TaskBarIcon& operator=(const TaskBarIcon&) = delete;

  platform::WindowId window() const { return window_; }

 private:
  intptr_t handle(const platform::Message& m);
  void paint();

  platform::WindowSystem& windows_;
  platform::Display& display_;
  std::optional<platform::ArgbImage> image_;
  std::function<void()> on_tap_;
  platform::WindowId window_ = 0;
};

}  // namespace tavrin::shell
