// Starting other programs (the theme package installer, the input helper):
// start() runs a program with arguments, without a shell, and returns at
// once; wait() waits a bounded time for it. Any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavrin::platform {

class Process {
 public:
  // The child's process id, or nullopt when the program could not be run.
  static std::optional<int> start(const std::string& program, const std::vector<std::string>& args);
  // true (with the exit code) when the child ended within timeout_ms; a
  // child that ended is reaped.
  static bool wait(int pid, int timeout_ms, int* exit_code = nullptr);
};

}  // namespace tavrin::platform
