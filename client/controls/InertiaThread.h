// The thread behind a kinetic list's coasting. It never touches the list:
// while it runs it only sends one message (9000 for the contact tree, 8002
// for plain lists) with the list's id to the owner window, whose handler
// does one inertia step on the UI thread. Created suspended; the list
// resumes it for a flick and suspends it when the coasting ends.
//
// resume(), suspend(), set_target() and stop() are called on the UI thread;
// the run state is guarded by mutex_. stop() ends the thread and waits for
// it, handling the thread's pending send meanwhile so the two never wait on
// each other.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/messages.h"

namespace tavrin::platform {
class WindowSystem;
}

namespace tavrin::controls {

class InertiaThread {
 public:
  InertiaThread(uint32_t message, uintptr_t id, platform::WindowId target);
  ~InertiaThread() { stop(); }
  InertiaThread(const InertiaThread&) = delete;
  InertiaThread& operator=(const InertiaThread&) = delete;

  void resume();
  void suspend();
  bool suspended() const;
  void set_target(platform::WindowId target, uintptr_t id);
  void stop();
  bool running() const { return !finished_.load(); }

  // Inertia threads alive in the process; for tests of the lists' life.
  static int live() { return live_.load(); }

 private:
  void run();

  platform::WindowSystem* windows_;
  const uint32_t message_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;         // signalled on any change below
  bool alive_ = true;                  // guarded by mutex_
  bool suspended_ = true;              // guarded by mutex_
  uintptr_t id_;                       // guarded by mutex_
  platform::WindowId target_;          // guarded by mutex_
  std::atomic<bool> finished_{false};  // set last by the thread
  std::thread thread_;
  static inline std::atomic<int> live_{0};
};

}  // namespace tavrin::controls
