// SipcConnection: one client's TCP connection to the SIP-C proxy. Reads
// through the loop's shared scratch buffer, keeps only an unfinished message
// (bounded), cuts messages with the server's framer and hands each to the
// service; queues what it sends during one batch of events and writes it
// with one call at the batch's end (flushQueued), keeping only what the
// socket refuses (bounded: a client that stops reading is dropped). A stream that cannot be framed
// gets "400" and is closed. Over TLS the same, through the connection's SSL:
// the handshake runs first, driven by the loop's events (never blocking it);
// a read or write that needs the other direction waits for that event.
// Owned by the service's connection table; event-loop thread only.
#pragma once

#include <openssl/ssl.h>
#include <sys/epoll.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "event_loop.h"
#include "session.h"
#include "sipc_message.h"

namespace tavrin::server {

class SipcService;

class SipcConnection : public Pollable {
 public:
  // fd < 0 makes a detached connection (fuzzing): output is discarded.
  // With ssl (set to fd, accept state) the connection speaks TLS.
  SipcConnection(EventLoop* loop, int fd, SipcService& service, uint64_t id, SSL* ssl = nullptr);
  ~SipcConnection() override;

  void onEvents(uint32_t events) override;
  // Processes bytes as if they had been read from the socket.
  void feed(std::string_view bytes);
  void send(std::string_view bytes) {
    compose([bytes](std::string& out) { out.append(bytes); });
  }
  // Sends what `write` appends to the string it is handed (the output queue
  // itself, so a message is written once).
  template <typename Write>
  void compose(Write&& write) {
    if (!readyToSend()) return;
    const size_t before = out_.size();
    write(out_);
    sent(before);
  }
  // Writes what send() queued; called by the service after each batch.
  void flushQueued();
  // Stops reading and closes once everything queued is written.
  void closeAfterFlush();
  // Closes now and tells the service (at most once).
  void close();
  bool closed() const { return closed_; }
  uint64_t id() const { return id_; }
  // When the connection was opened and last sent anything.
  std::time_t opened() const { return opened_; }
  std::time_t lastSeen() const { return lastSeen_; }
  size_t bufferedBytes() const { return in_.capacity() + out_.capacity(); }
  bool tls() const { return ssl_ != nullptr; }
  // Still in the TLS handshake (the service drops those that stall).
  bool handshaking() const { return handshaking_; }

  Session session;

  static constexpr size_t kMaxOutput = 4 * 1024 * 1024;

 private:
  // Reads what the socket holds, in rounds of the shared scratch buffer.
  void readAll();
  // Around an append to out_: whether to append at all, and what follows it
  // (the bound, the flush list, the log).
  bool readyToSend();
  void sent(size_t before);
  void flush();
  void handshake();
  void updateInterest();

  struct SslFree {
    void operator()(SSL* s) const { SSL_free(s); }
  };

  static constexpr uint32_t kEvents = EPOLLIN | EPOLLRDHUP | EPOLLET;

  EventLoop* loop_;
  int fd_;
  SipcService& service_;
  uint64_t id_;
  std::string in_;
  size_t padding_ = 0;  // blank lines skipped since the last message
  std::string out_;
  size_t outOffset_ = 0;
  bool closed_ = false;
  bool closing_ = false;
  bool wantWrite_ = false;
  bool queued_ = false;
  std::unique_ptr<SSL, SslFree> ssl_;
  bool handshaking_ = false;
  bool handshakeWantsWrite_ = false;
  bool readWantsWrite_ = false;  // SSL_read asked for a writable socket
  bool writeWantsRead_ = false;  // SSL_write asked for a readable one
  std::time_t opened_ = std::time(nullptr);
  std::time_t lastSeen_ = opened_;  // listed in the service's flush list
};

}  // namespace tavrin::server
