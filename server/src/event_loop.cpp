#include "event_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "log.h"

namespace tavrin::server {

EventLoop::EventLoop() {
  epfd_ = epoll_create1(EPOLL_CLOEXEC);
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ >= 0) add(wakeFd_, EPOLLIN, nullptr);
}

void EventLoop::stop() {
  running_ = false;
  if (wakeFd_ >= 0) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
  }
}

EventLoop::~EventLoop() {
  graveyard_.clear();
  if (wakeFd_ >= 0) close(wakeFd_);
  if (epfd_ >= 0) close(epfd_);
}

bool EventLoop::add(int fd, uint32_t events, Pollable* p) {
  epoll_event ev{};
  ev.events = events;
  ev.data.ptr = p;
  return epoll_ctl(epfd_, EPOLL_CTL_ADD, fd, &ev) == 0;
}

bool EventLoop::modify(int fd, uint32_t events, Pollable* p) {
  epoll_event ev{};
  ev.events = events;
  ev.data.ptr = p;
  return epoll_ctl(epfd_, EPOLL_CTL_MOD, fd, &ev) == 0;
}

void EventLoop::remove(int fd) {
  epoll_ctl(epfd_, EPOLL_CTL_DEL, fd, nullptr);
}

void EventLoop::retire(std::unique_ptr<Pollable> p) {
  std::erase(again_, p.get());
  graveyard_.push_back(std::move(p));
}

void EventLoop::every(std::chrono::milliseconds period, std::function<void()> task) {
  tasks_.push_back({period, std::chrono::steady_clock::now() + period, std::move(task)});
}

void EventLoop::after(std::chrono::milliseconds delay, std::function<void()> task) {
  tasks_.push_back({delay, std::chrono::steady_clock::now() + delay, std::move(task), true});
}

void EventLoop::run() {
  // A large batch lets each connection's writes of the batch leave in one
  // send; the batch's first write waits at most for this many reads.
  constexpr int kBatch = 1024;
  epoll_event events[kBatch];
  std::vector<Pollable*> again;
  while (running_) {
    int timeout = again_.empty() ? 1000 : 0;
    auto now = std::chrono::steady_clock::now();
    for (const auto& t : tasks_) {
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.next - now).count();
      if (ms < timeout) timeout = ms < 0 ? 0 : int(ms);
    }
    int n = epoll_wait(epfd_, events, kBatch, timeout);
    if (n < 0 && errno != EINTR) {
      logAt(0, "epoll_wait failed: errno %d", errno);
      break;
    }
    // Taken before the events: a retired object leaves again_, and until the
    // batch ends the graveyard keeps those already taken alive.
    again.swap(again_);
    for (int i = 0; i < n && running_; ++i)
      if (events[i].data.ptr)
        static_cast<Pollable*>(events[i].data.ptr)->onEvents(events[i].events);
    for (size_t i = 0; i < again.size() && running_; ++i) again[i]->onEvents(EPOLLIN);
    again.clear();
    for (auto& fn : afterBatch_) fn();
    graveyard_.clear();
    now = std::chrono::steady_clock::now();
    // By index: a task may add tasks; one-shot tasks leave once they ran.
    for (size_t i = 0; i < tasks_.size();) {
      if (now < tasks_[i].next) {
        ++i;
        continue;
      }
      tasks_[i].next = now + tasks_[i].period;
      if (!tasks_[i].once) {
        tasks_[i++].fn();
        continue;
      }
      std::function<void()> fn = std::move(tasks_[i].fn);
      tasks_.erase(tasks_.begin() + long(i));
      fn();
    }
    for (auto& fn : afterBatch_) fn();
    graveyard_.clear();
  }
}

}  // namespace tavrin::server
