// A client without a display for the controls' tests: the window system,
// the display with its task bar and input panel, a full-screen "main
// window" at (0, 52) that records what it is sent, and a test clock that
// makes every animation frame instant and lets a test move time itself.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfx/CSurface.h"
#include "platform/display.h"
#include "platform/input_panel.h"
#include "platform/task_bar.h"
#include "platform/window_system.h"

namespace controls_test {

using tavrin::platform::Message;
using tavrin::platform::Point;
using tavrin::platform::WindowId;

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Handles everything queued, due or invalid, without waiting.
  void settle();
  // Stylus in display coordinates.
  void down(int x, int y);
  void move(int x, int y);
  void up(int x, int y);
  void tap(int x, int y);
  void key(uint32_t code, bool shift = false);
  void type(std::u16string_view text);

  int count(uint32_t id) const;
  std::vector<Message> seen(uint32_t id) const;
  // Saves the display as screenshots/<name>.png in the build tree.
  void screenshot(const std::string& name);
  // A skin image of the build (absent when the assets were not built).
  static std::string theme_file(const std::string& name);

  std::unique_ptr<tavrin::platform::WindowSystem> ws;
  std::unique_ptr<tavrin::platform::Display> display;
  std::unique_ptr<tavrin::platform::TaskBar> task_bar;
  std::unique_ptr<tavrin::platform::InputPanel> panel;
  WindowId main = 0;
  // What the main window does besides recording (step messages, timers).
  std::function<void(const Message&)> on_message;
  std::vector<Message> messages;
  // The test clock: frames advance it by their pause.
  int64_t now = 0;
  std::function<void()> on_frame;
  int frames = 0;

 private:
  tavrin::gfx::CSurface background_;
};

}  // namespace controls_test
