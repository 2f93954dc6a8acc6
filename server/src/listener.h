// Listener: a non-blocking TCP listening socket on the event loop that hands
// every accepted socket (already non-blocking) to its callback. Port 0 binds
// a free port; port() tells which. Event-loop thread only.
#pragma once

#include <functional>
#include <string>

#include "event_loop.h"

namespace tavrin::server {

class Listener : public Pollable {
 public:
  using AcceptFn = std::function<void(int fd)>;
  Listener(EventLoop& loop, AcceptFn onAccept);
  ~Listener() override;
  // Binds and listens; an error text on failure.
  std::string open(const std::string& address, int port);
  int port() const { return port_; }
  void onEvents(uint32_t events) override;

 private:
  EventLoop& loop_;
  AcceptFn onAccept_;
  int fd_ = -1;
  int port_ = 0;
  int spare_ = -1;  // a descriptor kept in reserve for refusing when none are left
};

}  // namespace tavrin::server
