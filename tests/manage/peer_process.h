// PeerProcess: manage_peer started with pipes on both ends, for tests that
// need a second signed-in account (a second engine lives only in a second
// process). Lines it prints are collected by a reader thread; the test waits
// for a line with a given prefix. Stopped by pid.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::test {

class PeerProcess {
 public:
  PeerProcess(const std::string& address, const std::string& id, const std::string& password);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  void send(const std::string& line);
  // The first line (at or after the index `from`) starting with prefix; the
  // index of the next line goes to *next.
  bool wait_line(const std::string& prefix, std::string* out = nullptr,
                 std::chrono::milliseconds limit = std::chrono::seconds(20), size_t from = 0,
                 size_t* next = nullptr);
  size_t lines_seen();

 private:
  void read_loop(int fd);
  pid_t pid_ = -1;
  int to_child_ = -1;
  std::thread reader_;
  std::mutex mu_;  // guards lines_
  std::condition_variable cv_;
  std::vector<std::string> lines_;
};

}  // namespace tavrin::test
