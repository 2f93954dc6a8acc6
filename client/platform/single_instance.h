// One running client per user: the first process holds a lock file and
// listens on a local socket beside it; a later process finds the lock taken
// and asks the first, over the socket, to bring its window forward.
//
// Threads: acquire(), ask_running_to_activate() and the destructor run on
// the caller's thread; the activate handler given to listen() runs on a
// listener thread and must hop to the UI thread itself (it blocks the
// asking process until it returns).
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace tavrin::platform {

class SingleInstance {
 public:
  // name: the instance's name ("Dialog"); dir: where the lock and socket
  // live, by default the user's runtime folder.
  explicit SingleInstance(std::string name, std::filesystem::path dir = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // true when this process now holds the lock; false when another holds it
  // ("already exists").
  bool acquire();
  bool held() const { return lock_fd_ >= 0; }

  // Asks the running process to activate its window; true when it answered
  // that it found and activated one. False when nobody answers.
  bool ask_running_to_activate(int timeout_ms) const;

  // Starts answering requests: activate() returns whether it found a window.
  bool listen(std::function<bool()> activate);

  static std::filesystem::path default_dir();

 private:
  void serve();

  std::string name_;
  std::filesystem::path dir_;
  int lock_fd_ = -1;
  int listen_fd_ = -1;
  int stop_pipe_[2] = {-1, -1};
  std::function<bool()> activate_;  // set before the thread starts, then read-only
  std::thread thread_;
};

}  // namespace tavrin::platform
