// HttpGet: one plain-HTTP/1.1 GET of the server's own (to the SMS gateway),
// run inside the event loop without blocking it: a non-blocking connect to
// an IPv4 address (or a kept-alive connection handed in), the request
// written, the answer read up to its Content-Length or the peer's close (at
// most 64 kB). `done` runs once, with the status and body, or with status
// -1 when the exchange failed or was cancelled, or kStale when a handed-in
// connection turned out closed before any answer (try again on a new one);
// with the connection's descriptor when it may carry the next request (the
// receiver owns it then), else -1. The owner retires the object afterwards.
// Event-loop thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "event_loop.h"

namespace tavrin::server {

class HttpGet : public Pollable {
 public:
  using Done = std::function<void(int status, const std::string& body, int keptFd)>;
  static constexpr int kStale = -2;
  // reuseFd: an open connection to the same peer from an earlier exchange, or -1.
  HttpGet(EventLoop& loop, std::string host, int port, const std::string& target, Done done,
          int reuseFd = -1);
  ~HttpGet() override;
  HttpGet(const HttpGet&) = delete;
  HttpGet& operator=(const HttpGet&) = delete;

  // Starts connecting; false (and done(-1) already run) when that fails at once.
  bool start();
  // Ends the exchange as failed (a time-out); nothing happens after done ran.
  void cancel();
  void onEvents(uint32_t events) override;
  std::chrono::steady_clock::time_point started() const { return started_; }

 private:
  void finish(int status, const std::string& body, bool keep = false);
  // True once the answer read so far is complete (status and body known).
  bool complete(bool atEnd);

  EventLoop& loop_;
  std::string host_;
  int port_;
  std::string out_;
  size_t written_ = 0;
  std::string in_;
  Done done_;
  int fd_ = -1;
  bool reused_ = false;
  bool finished_ = false;
  std::chrono::steady_clock::time_point started_;
};

// Reads a complete answer: status and body, or nullopt-like status -1 when
// `raw` is not (yet) a whole HTTP answer; atEnd says the peer closed.
struct HttpAnswer {
  int status = -1;
  std::string body;
  bool complete = false;
  bool keepAlive = false;  // HTTP/1.1 with a length and no "Connection: close"
};
HttpAnswer readHttpAnswer(std::string_view raw, bool atEnd);

}  // namespace tavrin::server
