#include "http_endpoint.h"

#include <unistd.h>

#include <vector>

namespace tavrin::server {

namespace {
constexpr auto kMaxLife = std::chrono::seconds(15);
}  // namespace

HttpEndpoint::HttpEndpoint(EventLoop& loop, Handler handler, SSL_CTX* tls)
    : loop_(loop), handler_(std::move(handler)), tls_(tls) {}

HttpEndpoint::~HttpEndpoint() {
  open_.clear();
}

void HttpEndpoint::accept(int fd) {
  SSL* ssl = nullptr;
  if (tls_) {
    ssl = SSL_new(tls_);
    if (!ssl) {
      ::close(fd);
      return;
    }
    SSL_set_fd(ssl, fd);
  }
  uint64_t id = nextId_++;
  open_.emplace(id, std::make_unique<HttpConnection>(loop_, *this, fd, ssl, id));
}

void HttpEndpoint::closed(HttpConnection& c) {
  auto it = open_.find(c.id());
  if (it == open_.end()) return;
  loop_.retire(std::move(it->second));
  open_.erase(it);
}

void HttpEndpoint::sweep() {
  auto now = std::chrono::steady_clock::now();
  std::vector<HttpConnection*> stale;
  for (auto& [id, c] : open_)
    if (now - c->started() > kMaxLife) stale.push_back(c.get());
  for (HttpConnection* c : stale) c->close();
}

}  // namespace tavrin::server
