#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace tavrin::platform {

std::optional<int> Process::start(const std::string& program,
                                  const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  // posix_spawn reports an exec failure of the child as its result.
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    return std::nullopt;
  return int(pid);
}

bool Process::wait(int pid, int timeout_ms, int* exit_code) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (true) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return true;
    }
    if (r < 0) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace tavrin::platform
