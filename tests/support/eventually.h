// eventually(): polls a condition every 10 ms until it holds or the limit
// passes, for tests that wait on another thread or process.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace tavrin::test {

// Polls a condition for up to the limit.
inline bool eventually(const std::function<bool()>& cond,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return cond();
}

}  // namespace tavrin::test
