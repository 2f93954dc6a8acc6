#include "http_endpoint.h"

#include <unistd.h>

#include <vector>

#include "log.h"

namespace tavrin::server {

namespace {
constexpr auto kMaxLife = std::chrono::seconds(15);
// Each exchange is one request and one reply: far more than real clients keep open at once.
constexpr size_t kMaxOpen = 128;
}  // namespace

HttpEndpoint::HttpEndpoint(EventLoop& loop, Handler handler, const TlsContext* tls)
    : loop_(loop), handler_(std::move(handler)), tls_(tls) {}

HttpEndpoint::~HttpEndpoint() {
  open_.clear();
}

void HttpEndpoint::accept(int fd) {
  if (open_.size() >= kMaxOpen) shedOldest();
  SSL* ssl = nullptr;
  if (tls_) {
    ssl = tls_->get() ? SSL_new(tls_->get()) : nullptr;
    if (!ssl) {
      ::close(fd);
      return;
    }
    SSL_set_fd(ssl, fd);
  }
  uint64_t id = nextId_++;
  open_.emplace(id, std::make_unique<HttpConnection>(loop_, *this, fd, ssl, id));
}

bool HttpEndpoint::shedOldest() {
  if (open_.empty()) return false;
  logAt(1, "http %llu: dropped to make room", (unsigned long long)open_.begin()->first);
  open_.begin()->second->close();
  return true;
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
