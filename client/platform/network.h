// Network bring-up: before signing in, the client makes sure the machine
// has a route to the service. On a desktop the connection is the system's;
// bring-up waits (up to the caller's time-out) until a route exists, and
// the handle it returns is released at shut-down. Any thread; it blocks.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavrin::platform {

class Network {
 public:
  enum class Destination {
    kWork,      // a local network: any route through an interface other than loopback
    kInternet,  // a default route
  };

  // Waits until a route to the destination exists, checking every 250 ms;
  // a non-zero connection handle, or 0 after timeout_ms.
  static uint64_t connect(Destination destination, int timeout_ms);
  // Releases a connection handle; 0 and unknown handles are ignored.
  static void release(uint64_t handle);
  static int open_connections();

  // The route checks on the kernel's route tables (the text of
  // /proc/net/route and /proc/net/ipv6_route); exposed for tests.
  static bool has_route(Destination destination, std::string_view ipv4_table,
                        std::string_view ipv6_table);
  static bool has_route(Destination destination);
};

}  // namespace tavrin::platform
