// HttpEndpoint: one listening HTTP or HTTPS endpoint (navigation, sign-in):
// owns its open exchanges, hands each request to the endpoint's handler and
// drops exchanges that run longer than 15 s (sweep). Open exchanges are
// limited: a newcomer over the limit drops the oldest, so a flood holds a
// bounded number of descriptors. Event-loop thread only.
#pragma once

#include <openssl/ssl.h>

#include <functional>
#include <map>
#include <memory>

#include "http_connection.h"
#include "tls_context.h"

namespace tavrin::server {

// A listening endpoint: accepts, runs exchanges, drops those idle too long.
class HttpEndpoint {
 public:
  using Handler = std::function<HttpReply(const HttpRequest&)>;
  // With tls, every exchange speaks TLS with its current certificate.
  HttpEndpoint(EventLoop& loop, Handler handler, const TlsContext* tls = nullptr);
  ~HttpEndpoint();
  void accept(int fd);
  // Out of descriptors: drops the oldest exchange; false when there is none.
  bool shedOldest();
  void closed(HttpConnection& c);
  void sweep();
  HttpReply handle(const HttpRequest& r) { return handler_(r); }

 private:
  EventLoop& loop_;
  Handler handler_;
  const TlsContext* tls_;
  uint64_t nextId_ = 1;
  std::map<uint64_t, std::unique_ptr<HttpConnection>> open_;  // by id: oldest first
};

}  // namespace tavrin::server
