// Connection: the engine's one connection to the SIP-C server, and the
// local address and port read after each connect (the dialog invitations
// carry them). Connect and reset run on the timer thread, send and poll on
// the worker, close and a caller's try_send on any thread.
//
// The socket is shared: a user (the worker in its poll or send) holds it
// while it works, close() shuts it down at once (which ends a waiting poll)
// and the descriptor is closed when the last user lets go, so a descriptor
// number is never reused while a thread still works on it.
//
// Over TLS the socket carries its TLS session: read and write go through
// it under the socket's own lock (the worker reads while another thread may
// try a send), a write goes out whole or fails, and has_pending() tells the
// poll that decrypted bytes already wait, which the kernel cannot see.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "sipc/tls_client.h"

namespace tavrin {

class Socket {
 public:
  explicit Socket(int fd, SslPtr ssl = nullptr) : fd_(fd), ssl_(std::move(ssl)) {}
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }
  bool tls() const { return ssl_ != nullptr; }
  // As recv: the bytes read, 0 when the peer closed, -1 with errno set
  // (EAGAIN: nothing yet; ECONNRESET for a broken TLS stream).
  ssize_t read(char* buf, size_t cap);
  // As send with MSG_NOSIGNAL; may_wait false never waits (EAGAIN instead).
  // Over TLS a started write goes out whole, waiting up to 10 s.
  ssize_t write(const char* data, size_t len, bool may_wait);
  // Decrypted bytes wait inside the TLS session.
  bool has_pending();
  // "TLSv1.3" and the like; empty for plain TCP.
  std::string protocol();
  // A socket error seen while received bytes still waited to be read; it is
  // reported once they have been read (worker thread).
  int deferred_error() const { return deferred_error_.load(); }
  void defer_error(int code) { deferred_error_.store(code); }

 private:
  const int fd_;
  std::mutex ssl_mu_;  // guards every use of ssl_ after construction
  SslPtr ssl_;
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
  void adopt(int fd) { adopt(std::make_shared<Socket>(fd)); }
  void adopt(std::shared_ptr<Socket> fresh);
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
