// HttpConnection: one short HTTP/1.1 exchange, over plain TCP (navigation)
// or TLS (sign-in): read one request (head at most 16 kB, body at most
// 64 kB), hand it to the endpoint's handler, write the reply and close.
// A malformed request gets 400; a peer that sends nothing closes on its own
// time (the endpoint sweeps idle exchanges). Event-loop thread only.
#pragma once

#include <openssl/ssl.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "event_loop.h"

namespace tavrin::server {

struct HttpRequest {
  std::string method;
  std::string target;  // path and query as sent
  std::string body;
  uint32_t peer = 0;  // the client's IPv4 address (host order), 0 when unknown
};

struct HttpReply {
  int status = 200;
  std::string reason = "OK";
  std::string contentType = "text/plain; charset=utf-8";
  std::string body;
};

// A request target as it may be logged: the value of a password parameter
// (pwd, password) is replaced by "***", at every verbosity.
std::string loggableTarget(std::string_view target);

enum class HttpParse { kNeedMore, kBad, kDone };
// Reads one request from the bytes received so far: kDone fills the
// method, target and body; kBad for a head over 16 kB, a body over 64 kB,
// or a head that could frame the body in more than one way (two lengths,
// Transfer-Encoding, blanks in a field name, a folded line).
HttpParse parseHttpRequest(std::string_view in, HttpRequest& out);

class HttpEndpoint;

class HttpConnection : public Pollable {
 public:
  HttpConnection(EventLoop& loop, HttpEndpoint& owner, int fd, SSL* ssl, uint64_t id);
  ~HttpConnection() override;
  void onEvents(uint32_t events) override;
  void close();
  std::chrono::steady_clock::time_point started() const { return started_; }
  uint64_t id() const { return id_; }

 private:
  void readSome();
  void writeSome();
  bool parse();  // true once the request is complete (or refused)
  void respond(const HttpReply& r);

  EventLoop& loop_;
  HttpEndpoint& owner_;
  int fd_;
  SSL* ssl_;
  uint64_t id_;
  bool handshakeDone_;
  bool closed_ = false;
  uint32_t peer_ = 0;
  std::string in_;
  std::string out_;
  size_t outOffset_ = 0;
  bool writing_ = false;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace tavrin::server
