// SipcConnection: one client's TCP connection to the SIP-C proxy. Reads
// through the loop's shared scratch buffer, keeps only an unfinished message
// (bounded), cuts messages with the server's framer and hands each to the
// service; queues what it sends during one batch of events and writes it
// with one call at the batch's end (flushQueued), keeping only what the
// socket refuses (bounded: a client that stops reading is dropped). A stream that cannot be framed
// gets "400" and is closed. Owned by the service's connection table; event-loop thread only.
#pragma once

#include <sys/epoll.h>

#include <cstdint>
#include <ctime>
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
  SipcConnection(EventLoop* loop, int fd, SipcService& service, uint64_t id);
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
  void updateInterest();

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
  std::time_t opened_ = std::time(nullptr);
  std::time_t lastSeen_ = opened_;  // listed in the service's flush list
};

}  // namespace tavrin::server
