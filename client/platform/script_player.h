// Replays a script of user input against the running client, for automated
// tests and bug reports. One command a line; '#' starts a comment:
//
//   tap X Y                 stylus down and up at a display point
//   down X Y | move X Y | up X Y
//   drag X1 Y1 X2 Y2 [MS]   down, ten moves spread over MS (default 200), up
//   key NAME [shift] [ctrl] left right up down home end delete backspace
//                           enter tab escape, or a letter or digit
//   text ANY TEXT           typed characters (UTF-8 in the file)
//   panel LABEL             a tap on the touch keyboard's key (or candidate)
//                           with this label; a failure when none is shown
//   wait MS                 lets the client run for MS milliseconds
//   screenshot FILE         saves the display as PNG
//   mark WORD               prints "mark WORD" on stdout (for timing harnesses)
//   quit [CODE]             ends the client (exit code, default 0)
//
// Each command runs once the client is idle (every message handled and
// every window painted), so a screenshot shows the result of the input
// before it. UI thread only.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/window_system.h"

namespace tavrin::platform {

class ScriptPlayer final : public EventSource {
 public:
  struct Step {
    std::string command;
    std::vector<int> numbers;
    std::string text;
    int line = 0;
  };

  // Parses a script; nullopt with "line N: why" in error for a bad one.
  static std::optional<std::vector<Step>> parse(const std::string& source, std::string* error);
  static std::optional<std::vector<Step>> load(const std::string& path, std::string* error);

  // Chains in front of the system's current event source.
  ScriptPlayer(WindowSystem& windows, Display& display, std::vector<Step> steps);
  ~ScriptPlayer() override;

  bool finished() const { return next_ >= steps_.size(); }
  // Screenshot failures, "line N: ..."; empty when all went well.
  const std::vector<std::string>& failures() const { return failures_; }

  void poll() override;
  int max_wait_ms() override;
  void idle() override;
  // The loop sleeps where the source behind the script sleeps.
  bool waits_itself() const override { return inner_ && inner_->waits_itself(); }
  void wait(int timeout_ms) override {
    if (inner_) inner_->wait(timeout_ms);
  }
  void wake() override {
    if (inner_) inner_->wake();
  }

 private:
  void run(const Step& step);

  WindowSystem& windows_;
  Display& display_;
  EventSource* inner_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  std::chrono::steady_clock::time_point not_before_;
  std::vector<std::string> failures_;
};

}  // namespace tavrin::platform
