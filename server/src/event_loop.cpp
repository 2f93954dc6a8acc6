#include "event_loop.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <cerrno>

#include "log.h"

namespace tavrin::server {

EventLoop::EventLoop() {
  epfd_ = epoll_create1(EPOLL_CLOEXEC);
}

EventLoop::~EventLoop() {
  graveyard_.clear();
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
  graveyard_.push_back(std::move(p));
}

void EventLoop::every(std::chrono::milliseconds period, std::function<void()> task) {
  tasks_.push_back({period, std::chrono::steady_clock::now() + period, std::move(task)});
}

void EventLoop::run() {
  running_ = true;
  epoll_event events[256];
  while (running_) {
    int timeout = 1000;
    auto now = std::chrono::steady_clock::now();
    for (const auto& t : tasks_) {
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.next - now).count();
      if (ms < timeout) timeout = ms < 0 ? 0 : int(ms);
    }
    int n = epoll_wait(epfd_, events, 256, timeout);
    if (n < 0 && errno != EINTR) {
      logAt(0, "epoll_wait failed: errno %d", errno);
      break;
    }
    for (int i = 0; i < n; ++i)
      static_cast<Pollable*>(events[i].data.ptr)->onEvents(events[i].events);
    for (auto& fn : afterBatch_) fn();
    graveyard_.clear();
    now = std::chrono::steady_clock::now();
    for (auto& t : tasks_) {
      if (now >= t.next) {
        t.next = now + t.period;
        t.fn();
      }
    }
    for (auto& fn : afterBatch_) fn();
    graveyard_.clear();
  }
}

}  // namespace tavrin::server
