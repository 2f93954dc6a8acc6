// Connection: the engine's one connection to the SIP-C server, and the
// local address and port read after each connect (the dialog invitations
// carry them). Connect and reset run on the timer thread, send and poll on
// the worker, close and a caller's try_send on any thread.
//
// The socket is shared: a user (the worker in its poll or send) holds it
// while it works, close() shuts it down at once (which ends a waiting poll)
// and the descriptor is closed when the last user lets go, so a descriptor
// number is never reused while a thread still works on it.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace tavrin {

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }
  // A socket error seen while received bytes still waited to be read; it is
  // reported once they have been read (worker thread).
  int deferred_error() const { return deferred_error_.load(); }
  void defer_error(int code) { deferred_error_.store(code); }

 private:
  const int fd_;
  std::atomic<int> deferred_error_{0};
};

class Connection {
 public:
  // Until the first connect: a private-network placeholder and port 5555.
  static constexpr const char* kPlaceholderAddress = "192.168.1.100";
  static constexpr int kPlaceholderPort = 5555;

  // The open socket, or null.
  std::shared_ptr<Socket> socket();
  // Takes over a connected socket (closing any previous one) and reads its
  // local name.
  void adopt(int fd);
  // Shuts the socket down, if any; the handle becomes invalid.
  void close();

  std::string local_address();
  int local_port();

 private:
  std::mutex mu_;  // guards every field below (a leaf)
  std::shared_ptr<Socket> socket_;
  std::string local_address_ = kPlaceholderAddress;
  int local_port_ = kPlaceholderPort;
};

Connection& connection();

}  // namespace tavrin
