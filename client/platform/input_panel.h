// The soft input panel: a keyboard plate across the bottom of the display.
// Keys still come from the desktop keyboard; the panel shows that text
// input is on and takes the rows below its top edge, which screens query
// to keep their lists above it. Its window has class "SipWndClass".
// UI thread only.
#pragma once

#include "platform/messages.h"

namespace tavrin::platform {

class Display;
class WindowSystem;

class InputPanel {
 public:
  static constexpr int kHeight = 260;
  // The panel stands on the soft-key bar, which stays visible and tappable.
  static constexpr int kBarHeight = 60;
  static constexpr int kBottom = 800 - kBarHeight;
  static constexpr int kTop = kBottom - kHeight;

  InputPanel(WindowSystem& windows, Display& display);
  ~InputPanel();
  InputPanel(const InputPanel&) = delete;
  InputPanel& operator=(const InputPanel&) = delete;

  static InputPanel* instance();
  WindowId window() const { return window_; }

  // Shows or hides the panel; true when it is now as asked.
  bool show(bool shown);
  bool shown() const;
  // The panel's first row on the display; the display height when hidden.
  int top_edge() const;

 private:
  intptr_t handle(const Message& m);
  void paint();

  WindowSystem& windows_;
  Display& display_;
  WindowId window_ = 0;
};

}  // namespace tavrin::platform
