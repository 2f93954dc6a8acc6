// PeerProcess: runs tavrin_im_peer (a second engine) as a child process and
// talks to it over pipes: command() sends one line and returns the reply,
// events are collected by a reader thread. Stopped (quit, then SIGKILL after
// a grace period) and reaped by pid in the destructor.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::test {

struct PeerEvent {
  int code = 0;
  long p2 = 0;
  std::string text;
};

class PeerProcess {
 public:
  explicit PeerProcess(const std::string& binary);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // Sends the line, returns the reply line ("" when none came in time).
  std::string command(const std::string& line,
                      std::chrono::milliseconds limit = std::chrono::seconds(70));
  // Waits for the n-th (1-based) event with the code (and p2 unless -1).
  bool wait_event(int code, long p2 = -1, PeerEvent* out = nullptr, size_t nth = 1,
                  std::chrono::milliseconds limit = std::chrono::seconds(20));
  std::vector<PeerEvent> events();
  // kill -9: the peer dies at once, with whatever it had not done.
  void kill_now();

 private:
  void read_loop();
  pid_t pid_ = -1;
  int in_fd_ = -1, out_fd_ = -1;
  std::thread reader_;
  std::mutex mu_;  // guards the two queues
  std::condition_variable cv_;
  std::deque<std::string> replies_;
  std::vector<PeerEvent> events_;
};

}  // namespace tavrin::test
