#include "controls/InertiaThread.h"

#include <chrono>

#include "platform/window_system.h"

namespace tavrin::controls {

InertiaThread::InertiaThread(uint32_t message, uintptr_t id, platform::WindowId target)
    : windows_(platform::WindowSystem::instance()), message_(message), id_(id), target_(target) {
  ++live_;
  thread_ = std::thread([this] { run(); });
}

void InertiaThread::run() {
  while (true) {
    platform::WindowId target;
    uintptr_t id;
    {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [this] { return !alive_ || !suspended_; });
      if (!alive_) break;
      target = target_;
      id = id_;
    }
    if (windows_) windows_->send(target, message_, id, 0);
    // A breath between steps: an owner that is gone (a send returns at
    // once) must not turn the thread into a busy loop.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  --live_;
  finished_ = true;
}

void InertiaThread::resume() {
  {
    std::lock_guard lock(mutex_);
    suspended_ = false;
  }
  cv_.notify_all();
}

void InertiaThread::suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
}

bool InertiaThread::suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

void InertiaThread::set_target(platform::WindowId target, uintptr_t id) {
  std::lock_guard lock(mutex_);
  target_ = target;
  id_ = id;
}

void InertiaThread::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    alive_ = false;
    suspended_ = false;
  }
  cv_.notify_all();
  // The thread may be inside a send to this very thread: answer it.
  while (!finished_) {
    if (windows_ && windows_->on_ui_thread()) windows_->process_sent_messages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  thread_.join();
}

}  // namespace tavrin::controls
