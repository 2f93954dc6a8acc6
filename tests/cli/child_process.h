// ChildProcess: a program started with pipes on its standard input and
// output (standard error stays the test's unless merged into the output),
// for driving tavrin-server and
// tavrin-cli from tests. Lines are read with a time-out; every line read is
// kept so that a failing test can show the whole transcript. Stopped by pid
// (SIGTERM, then SIGKILL) in the destructor. One test thread uses it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavrin::test {

class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& extra_env = {}, bool merge_stderr = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  void write_line(const std::string& line);
  void close_input();
  void send_signal(int sig);
  // The next line of output, or nullopt at the end of output or time-out.
  std::optional<std::string> read_line(std::chrono::milliseconds limit);
  // Reads lines until one satisfies match; that line, or nullopt.
  std::optional<std::string> read_until(const std::function<bool(const std::string&)>& match,
                                        std::chrono::milliseconds limit);
  // Waits for the exit; the exit status, or -1 on time-out or a signal.
  int wait_exit(std::chrono::milliseconds limit);
  const std::string& transcript() const { return transcript_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string buffer_;
  std::string transcript_;
  bool reaped_ = false;
};

}  // namespace tavrin::test
