// The engine under test, started and stopped around each test, and a
// recorder for the messages it posts (to a request or the system callback).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "eventually.h"
#include "libtavrin.h"
#include "roster/engine_contacts.h"

namespace tavrin::test {

struct Posted {
  int code;
  intptr_t p1, p2;
};

class Recorder {
 public:
  static void callback(int code, intptr_t p1, intptr_t p2, void* user) {
    auto* self = static_cast<Recorder*>(user);
    if (code == FX_MSG_CONTACT_REQUEST) {
      // Its two texts pass to the receiver.
      free(reinterpret_cast<char*>(p1));
      free(reinterpret_cast<char*>(p2));
      p1 = p2 = 0;
    }
    std::lock_guard lock(self->mu_);
    self->seen_.push_back({code, p1, p2});
    self->cv_.notify_all();
  }
  // Waits for a message with the code (and p2, when given).
  bool wait_for(int code, std::chrono::milliseconds limit = std::chrono::seconds(20),
                intptr_t p2 = -1, Posted* out = nullptr) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, limit, [&] {
      for (const auto& p : seen_)
        if (p.code == code && (p2 == -1 || p.p2 == p2)) {
          if (out) *out = p;
          return true;
        }
      return false;
    });
  }
  // Waits until the n-th message (1-based) arrived.
  bool wait_count(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, limit, [&] { return seen_.size() >= n; });
  }
  std::vector<int> codes() {
    std::lock_guard lock(mu_);
    std::vector<int> out;
    for (const auto& p : seen_) out.push_back(p.code);
    return out;
  }
  // The login's own codes (progress and failures), leaving out the events
  // that the login interceptor passes on while it is the system callback.
  std::vector<int> login_codes() {
    std::vector<int> out;
    for (int c : codes())
      if (c <= 14 || c == 146 || c == 241 || c == 242) out.push_back(c);
    return out;
  }
  // Codes with p2 equal to id, in order.
  std::vector<int> codes_for(intptr_t id) {
    std::lock_guard lock(mu_);
    std::vector<int> out;
    for (const auto& p : seen_)
      if (p.p2 == id) out.push_back(p.code);
    return out;
  }
  void clear() {
    std::lock_guard lock(mu_);
    seen_.clear();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Posted> seen_;
};

// Reads the store under its lock.
template <class F>
auto with_store(F f) {
  auto& state = contacts::EngineContacts::instance();
  auto lock = state.lock();
  return f(state);
}

class EngineTest : public ::testing::Test {
 protected:
  // A recorder that outlives the engine's threads (late results of a
  // login, such as group dialog answers, may still arrive after a test's
  // body ended).
  Recorder& recorder() { return recorders_.emplace_back(); }

  void SetUp() override { ASSERT_EQ(fx_init(), 1); }
  void TearDown() override {
    fx_set_system_msg_cb(nullptr, nullptr);
    fx_terminate();
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    state.reset();
  }

 private:
  std::deque<Recorder> recorders_;
};

}  // namespace tavrin::test
