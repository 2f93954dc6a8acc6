// Listener: a non-blocking TCP listening socket on the event loop that hands
// every accepted socket (already non-blocking) to its callback. Port 0 binds
// a free port; port() tells which. Event-loop thread only.
//
// Out of descriptors, it first asks its owner to free one (relief: drop a
// connection that matters least) and otherwise refuses the waiting client
// with a descriptor kept in reserve; when even that is gone it stops
// listening for a moment, so the loop never spins on a failing accept.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "event_loop.h"

namespace tavrin::server {

class Listener : public Pollable {
 public:
  using AcceptFn = std::function<void(int fd)>;
  // Frees one descriptor if it can; true when it did.
  using ReliefFn = std::function<bool()>;
  Listener(EventLoop& loop, AcceptFn onAccept, ReliefFn relief = {});
  ~Listener() override;
  // Binds and listens; an error text on failure.
  std::string open(const std::string& address, int port);
  int port() const { return port_; }
  void onEvents(uint32_t events) override;

  // Accepts handled per wake-up: the rest wait for the next batch, so other
  // sockets get their turn during a flood.
  static constexpr int kAcceptsPerWake = 64;

 private:
  // Out of descriptors and nothing to free: refuses one waiting client;
  // false when there was none or the reserve is gone.
  bool refuseOne();
  void pause();
  void resume();

  EventLoop& loop_;
  AcceptFn onAccept_;
  ReliefFn relief_;
  int fd_ = -1;
  int port_ = 0;
  int spare_ = -1;  // a descriptor kept in reserve for refusing when none are left
  bool paused_ = false;
  std::time_t lastComplaint_ = 0;
  long refusedSinceComplaint_ = 0;
};

}  // namespace tavrin::server
