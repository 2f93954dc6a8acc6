// The wire reference of bench_im_chat: what a chat line does on the wire,
// with nothing of the engine or of the protocol. A sender process writes a
// line-sized message to a relay process (an epoll loop standing for
// tavrin-server) that writes a delivery-sized message to the receiver and
// then a short answer to the sender, which a thread of the sender reads as
// the engine's worker reads the server's 200; the receiver answers the
// relay once it saw the line, as Bob's engine answers the server. Same
// processes, same hops, same sizes as a line; every socket has TCP_NODELAY
// and every message is one write.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

#include "timing.h"

namespace bench::im {

// Sizes of a 100-character line's messages through tavrin-server.
constexpr size_t kLineBytes = 240;      // Alice's "M"
constexpr size_t kDeliveryBytes = 285;  // the server's "M" to Bob
constexpr size_t kAnswerBytes = 40;     // the server's 200 to Alice
constexpr size_t kReceiptBytes = 77;    // Bob's 200 to the server

struct RelayPorts {
  int sender_fd = -1, receiver_fd = -1;  // listening sockets
  int sender_port = 0, receiver_port = 0;
};
// Makes every later connection of this process and its children TLS; called
// before the forks. The relay reads cert_dir's server.pem and server-key.pem
// at its first connection.
void use_tls(const std::string& cert_dir);

// Binds the relay's two loopback listeners; done before the fork.
bool open_relay_ports(RelayPorts& ports);
// The relay process: takes one sender and one receiver connection and relays
// until the sender closes. With ping_pong it is a plain two-hop ping-pong of
// the same sizes instead: it answers nobody itself, the line goes to the
// receiver and the receiver's answer back to the sender (two hops each way).
void run_relay(const RelayPorts& ports, bool ping_pong = false);

// A loopback TCP connection with TCP_NODELAY, or -1.
int connect_loopback(int port);

// After line i of the run left: lets `gap_us` pass, then waits in short
// sleeps until the receiver saw the line and `answers` counts its answer;
// false after 30 s.
bool settle_line(const Track& track, long i, const std::atomic<long>& answers, int gap_us);

// The receiver's end (Bob's process): a thread reading deliveries, noting
// the time of each in track.got and answering the relay.
class WireReceiver {
 public:
  explicit WireReceiver(Track& track) : track_(track) {}
  ~WireReceiver();
  bool start(int port);

 private:
  void run();
  Track& track_;
  int fd_ = -1;
  std::thread thread_;
};

// The sender's end (Alice's process): lines written from the calling thread,
// answers read by a thread of their own.
class WireSender {
 public:
  explicit WireSender(Track& track) : track_(track) {}
  ~WireSender();
  bool start(int port);
  void begin_run() { answers_ = 0; }
  // Sends line i of the run and settles it (settle_line).
  bool send(long i, int gap_us);

 private:
  Track& track_;
  int fd_ = -1;
  std::atomic<long> answers_{0};
  std::thread reader_;
};

}  // namespace bench::im
