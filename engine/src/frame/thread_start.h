// Starting an engine thread with the start-up hand-shake: the new thread
// signals a fresh semaphore when its set-up is done; the creator waits for
// that at most 2000 ms and then goes on starting, signalled or not.
// The semaphore is shared, so a late signal never touches freed memory.
#pragma once

#include <chrono>
#include <memory>
#include <semaphore>
#include <thread>
#include <utility>

namespace tavrin {

using StartSignal = std::shared_ptr<std::counting_semaphore<10>>;

inline constexpr std::chrono::milliseconds kThreadStartLimit{2000};

// body(signal) must call signal->release() once its set-up is done.
// Returns the thread and whether it signalled in time.
template <typename Body>
std::pair<std::thread, bool> start_engine_thread(Body body) {
  auto signal = std::make_shared<std::counting_semaphore<10>>(0);
  std::thread thread([signal, body = std::move(body)]() mutable { body(signal); });
  const bool signalled = signal->try_acquire_for(kThreadStartLimit);
  return {std::move(thread), signalled};
}

}  // namespace tavrin
