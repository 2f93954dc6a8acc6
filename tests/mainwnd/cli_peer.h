// CliPeer: a second signed-in user for the main window's tests, played by
// tavrin-cli (--json) in its own process: commands go to its standard input
// one a line, every line it prints is collected by a reader thread, and a
// test waits for a line that contains a text. Stopped (quit, then SIGKILL)
// and reaped by pid in the destructor. Owned by one test thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::test {

class CliPeer {
 public:
  CliPeer(const std::string& sipc_address, const std::string& user, const std::string& password);
  ~CliPeer();
  CliPeer(const CliPeer&) = delete;
  CliPeer& operator=(const CliPeer&) = delete;

  void command(const std::string& line);
  // True once a line containing `text` was printed (since the start).
  bool wait_for(const std::string& text,
                std::chrono::milliseconds limit = std::chrono::seconds(20));
  bool signed_in() { return wait_for("\"code\":14"); }

 private:
  void read_loop(int fd);

  pid_t pid_ = -1;
  int to_child_ = -1;
  std::thread reader_;
  std::mutex mu_;               // guards lines_
  std::condition_variable cv_;  // signalled when a line arrives
  std::vector<std::string> lines_;
};

}  // namespace tavrin::test
