// EventLoop: the server's one epoll loop. Every socket of the process is a
// Pollable registered here; the loop owns none of them. Objects that close
// while a batch of events is being handled are handed to retire() and
// destroyed after the batch, so no event reaches a freed object.
// Periodic tasks (scheduled SMS, session sweeps) run between batches.
// A Pollable registered edge-triggered that stops reading with bytes left
// (its share of a batch used up) asks for readAgain(): the next batch hands
// it EPOLLIN without waiting for a new edge.
// Single-threaded: only the thread inside run() touches it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tavrin::server {

class Pollable {
 public:
  virtual ~Pollable() = default;
  virtual void onEvents(uint32_t events) = 0;
};

class EventLoop {
 public:
  EventLoop();
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  bool add(int fd, uint32_t events, Pollable* p);
  bool modify(int fd, uint32_t events, Pollable* p);
  void remove(int fd);
  // Destroys the object after the current batch of events.
  void retire(std::unique_ptr<Pollable> p);
  // Hands the object EPOLLIN in the next batch, which then does not wait.
  void readAgain(Pollable* p) { again_.push_back(p); }
  void every(std::chrono::milliseconds period, std::function<void()> task);
  // Runs the task once, after the delay.
  void after(std::chrono::milliseconds delay, std::function<void()> task);
  // Runs after every batch of events (before retired objects are destroyed):
  // writes queued during the batch go out together.
  void afterBatch(std::function<void()> fn) { afterBatch_.push_back(std::move(fn)); }
  // Runs until stop() (from a handler or a signal handler).
  void run();
  // Async-signal-safe: sets the flag and wakes epoll_wait, so the loop ends
  // within the current batch however busy it is.
  void stop();

 private:
  struct Task {
    std::chrono::milliseconds period;
    std::chrono::steady_clock::time_point next;
    std::function<void()> fn;
    bool once = false;
  };
  int epfd_ = -1;
  int wakeFd_ = -1;                  // an eventfd that stop() writes to
  std::atomic<bool> running_{true};  // a stop before run() is kept
  std::vector<std::unique_ptr<Pollable>> graveyard_;
  std::vector<Pollable*> again_;  // for the next batch; never a retired one
  std::vector<Task> tasks_;
  std::vector<std::function<void()>> afterBatch_;
};

}  // namespace tavrin::server
