// Collects the messages an engine thread posts, for tests on another thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tavrin::test {

struct Posted {
  int code;
  intptr_t p1, p2;
};

class MessageRecorder {
 public:
  static void callback(int code, intptr_t p1, intptr_t p2, void* user) {
    auto* self = static_cast<MessageRecorder*>(user);
    std::lock_guard lock(self->mu_);
    self->seen_.push_back({code, p1, p2});
    self->cv_.notify_all();
  }
  // The first message with the code, waiting at most the limit.
  bool wait_for(int code, Posted* out = nullptr,
                std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, limit, [&] {
      for (const auto& p : seen_)
        if (p.code == code) {
          if (out) *out = p;
          return true;
        }
      return false;
    });
  }
  std::vector<Posted> seen() {
    std::lock_guard lock(mu_);
    return seen_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Posted> seen_;
};

}  // namespace tavrin::test
