#include "sipc_service.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "chat_relay.h"
#include "contact_commands.h"
#include "group_service.h"
#include "log.h"
#include "metrics.h"
#include "presence_hub.h"
#include "profile_commands.h"
#include "registrar.h"
#include "sms_service.h"
#include "text_writer.h"
#include "uri.h"

namespace tavrin::server {

namespace {

// A quarter of the descriptor limit: the rest stays for registered users,
// the database and the other endpoints.
size_t defaultMaxPending() {
  rlimit rl{};
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return 1 << 20;
  return std::clamp<size_t>(size_t(rl.rlim_cur) / 4, 16, 1 << 20);
}

uint32_t peerAddress(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || sa.sin_family != AF_INET)
    return 0;
  return ntohl(sa.sin_addr.s_addr);
}

}  // namespace

const std::string& httpDate(std::time_t at) {
  // Formatted once per second: every relayed line carries it.
  thread_local std::time_t cachedAt = -1;
  thread_local std::string cached;
  if (at != cachedAt) {
    char buf[64];
    std::tm tm{};
    gmtime_r(&at, &tm);
    std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    cached = buf;
    cachedAt = at;
  }
  return cached;
}

SipcService::SipcService(EventLoop* loop, Store& store, const Options& options)
    : loop_(loop),
      store_(store),
      options_(options),
      maxPending_(options.maxUnregistered > 0 ? size_t(options.maxUnregistered) : 0),
      maxPendingPerAddress_(options.maxUnregisteredPerAddress > 0
                                ? size_t(options.maxUnregisteredPerAddress)
                                : size_t(-1)) {
  if (loop_) loop_->afterBatch([this] { flushQueued(); });
  registrar_ = std::make_unique<Registrar>(*this);
  presence_ = std::make_unique<PresenceHub>(*this);
  contacts_ = std::make_unique<ContactCommands>(*this);
  profile_ = std::make_unique<ProfileCommands>(*this);
  chat_ = std::make_unique<ChatRelay>(*this);
  sms_ = std::make_unique<SmsService>(*this);
  groups_ = std::make_unique<GroupService>(*this);
}

void SipcService::flushQueued() {
  // Flushing may close a connection, which only retires it: pointers stay valid.
  for (size_t i = 0; i < toFlush_.size(); ++i) toFlush_[i]->flushQueued();
  toFlush_.clear();
}

std::string SipcService::borrowBuffer() {
  if (spareBuffers_.empty()) return {};
  std::string b = std::move(spareBuffers_.back());
  spareBuffers_.pop_back();
  return b;
}

void SipcService::returnBuffer(std::string&& b) {
  constexpr size_t kKeepCapacity = 64 * 1024, kKeepCount = 256;
  if (b.capacity() <= 15 || b.capacity() > kKeepCapacity || spareBuffers_.size() >= kKeepCount)
    return;
  b.clear();
  spareBuffers_.push_back(std::move(b));
}

SipcService::~SipcService() {
  // Connections tell the service when they close; let none do so now.
  for (auto& [id, c] : connections_) c->session = Session{};
  online_.clear();
  toFlush_.clear();
  connections_.clear();
  closed_.clear();
}

void SipcService::accept(int fd, SSL_CTX* tls) {
  const char* listener = tls ? "sipc-tls" : "sipc";
  SSL* ssl = nullptr;
  if (tls) {
    ssl = SSL_new(tls);
    if (!ssl || SSL_set_fd(ssl, fd) != 1) {
      SSL_free(ssl);
      ::close(fd);
      return;
    }
    SSL_set_accept_state(ssl);
    ++tlsConnections_;
  }
  const uint32_t address = peerAddress(fd);
  if (pending_.countAt(address) >= maxPendingPerAddress_)
    if (auto victim = pending_.victimAt(address)) dropPending(*victim);
  // Read each time: a limit lowered or raised while running counts at once.
  const size_t maxPending = maxPending_ > 0 ? maxPending_ : defaultMaxPending();
  while (pending_.size() >= maxPending) {
    auto victim = pending_.victim();
    if (!victim) break;
    dropPending(*victim);
  }
  uint64_t id = nextId_++;
  connections_.emplace(id, std::make_unique<SipcConnection>(loop_, fd, *this, id, ssl));
  pending_.add(id, address);
  metrics().connectionOpened(listener);
  logAt(1, "conn %llu: accepted", (unsigned long long)id);
}

bool SipcService::shedOldestUnregistered() {
  auto victim = pending_.victim();
  if (!victim) return false;
  dropPending(*victim);
  return true;
}

void SipcService::dropPending(uint64_t id) {
  ++shed_;
  auto it = connections_.find(id);
  if (it == connections_.end()) {
    forgetPending(id);
    return;
  }
  logAt(1, "conn %llu: unregistered, dropped to make room", (unsigned long long)id);
  it->second->close();  // closes the descriptor now and forgets the connection
}

void SipcService::markRegistered(SipcConnection& c) {
  forgetPending(c.id());
}

uint32_t SipcService::peerAddressOf(const SipcConnection& c) const {
  return pending_.addressOf(c.id()).value_or(0);
}

void SipcService::forgetPending(uint64_t id) {
  pending_.remove(id);
}

SipcConnection& SipcService::openDetached() {
  uint64_t id = nextId_++;
  auto& c = connections_[id];
  c = std::make_unique<SipcConnection>(nullptr, -1, *this, id);
  return *c;
}

void SipcService::collectClosed() {
  closed_.clear();
}

void SipcService::onClosed(SipcConnection& c) {
  logAt(1, "conn %llu: closed", (unsigned long long)c.id());
  registrar_->onClosed(c);
  forgetPending(c.id());
  auto it = connections_.find(c.id());
  if (it == connections_.end()) return;
  metrics().connectionClosed(c.tls() ? "sipc-tls" : "sipc");
  if (c.tls()) --tlsConnections_;
  std::unique_ptr<SipcConnection> owned = std::move(it->second);
  connections_.erase(it);
  if (loop_)
    loop_->retire(std::move(owned));
  else
    closed_.push_back(std::move(owned));
}

SipcConnection* SipcService::connection(uint64_t id) const {
  auto it = connections_.find(id);
  return it == connections_.end() || it->second->closed() ? nullptr : it->second.get();
}

void SipcService::setOnline(long number, SipcConnection* c) {
  if (c)
    online_[number] = c;
  else
    online_.erase(number);
}

SipcConnection* SipcService::online(long number) const {
  auto it = online_.find(number);
  return it == online_.end() ? nullptr : it->second;
}

std::string SipcService::uriOf(long number) const {
  return userUri(number, store_.domain());
}
std::string SipcService::groupUriOf(long number) const {
  return groupUri(number, store_.domain());
}

namespace {
// The headers after "I" and "Q" (but `skip`, and those with no name), then "L" and the body.
template <typename HeaderList>
void writeTail(TextWriter& w, const HeaderList& headers, std::string_view skip,
               std::string_view body) {
  for (const auto& [name, value] : headers)
    if (!std::string_view(name).empty() && name != skip) w << "\r\n" << name << ": " << value;
  if (!body.empty()) w << "\r\nL: " << long(body.size());
  w << "\r\n\r\n" << body;
}

// Room for a message's start line, "I", "Q" and "L" besides its parts.
constexpr size_t kHeadRoom = 128;
}  // namespace

void SipcService::reply(SipcConnection& c, const SipcMessage& req, int status,
                        std::string_view reason, std::string_view body, const Headers& extra) {
  // A registration's challenge (401 with "W") is the exchange's first step, not an error.
  if (status >= 400 && !(status == 401 && !extra.empty())) metrics().requestError("sipc", status);
  c.compose([&](std::string& out) {
    TextWriter w(out, kHeadRoom + reason.size() + req.method.size() + body.size());
    w << "SIP-C/2.0 " << long(status) << " " << reason << "\r\nI: " << req.callId
      << "\r\nQ: " << req.seq << " " << req.method;
    writeTail(w, extra, {}, body);
  });
}

void SipcService::request(SipcConnection& c, std::string_view method, long callId,
                          HeaderViews headers, std::string_view body) {
  const std::string& target = c.session.registered ? c.session.uri : store_.domain();
  const long seq = c.session.serverSeq++;
  size_t expected = kHeadRoom + 2 * method.size() + target.size() + body.size();
  for (const auto& [name, value] : headers) expected += name.size() + value.size() + 4;
  c.compose([&](std::string& out) {
    TextWriter w(out, expected);
    w << method << " ";
    if (!c.session.registered) w << "sip:";
    w << target << " SIP-C/2.0\r\nF: ";
    if (headers.size() > 0 && headers.begin()->first == "F")
      w << headers.begin()->second;
    else
      w << "sip:" << store_.domain();
    w << "\r\nI: " << callId << "\r\nQ: " << seq << " " << method;
    writeTail(w, headers, "F", body);
  });
}

void SipcService::onMessage(SipcConnection& c, const SipcMessage& m) {
  if (!m.isRequest()) {
    // Clients answer the server's own requests (relayed lines, events); only
    // offline messages wait for theirs.
    if (gVerbosity >= 3)
      logAt(3, "conn %llu: answer %d to %.*s", (unsigned long long)c.id(), m.status,
            int(m.method.size()), m.method.data());
    if (c.session.registered) chat_->onAnswer(c, m);
    return;
  }
  if (!c.session.registered) markBegun(c);
  if (gVerbosity >= 2) {
    const std::string_view n = m.headerOr("N");
    logAt(2, "conn %llu: %.*s %.*s N=%.*s", (unsigned long long)c.id(), int(m.method.size()),
          m.method.data(), int(m.target.size()), m.target.data(), int(n.size()), n.data());
    logAt(3, "conn %llu -> body: %.*s", (unsigned long long)c.id(), int(m.body.size()),
          m.body.data());
  }
  try {
    if (m.method == "R") {
      registrar_->handle(c, m);
      return;
    }
    if (!c.session.registered) {
      // The own-info lookup by mobile number serves logins before registration.
      if (m.method == "S" && m.headerOr("N") == "GetUserInfo") {
        profile_->handle(c, m, "GetUserInfo");
        return;
      }
      if (m.method != "A") reply(c, m, 401, "Unauthorized");
      return;
    }
    const std::string_view method = m.method;
    if (method == "S") {
      dispatchService(c, m);
    } else if (method == "SUB") {
      std::string_view n = m.headerOr("N");
      if (n == "PGPresence")
        groups_->handleSubscribe(c, m);
      else if (n == "presence")
        presence_->handleSubscribe(c, m);
      else
        reply(c, m, 400, "Bad Request");
    } else if (method == "M") {
      std::string_view n = m.headerOr("N");
      if (n == "SendSMS" || n == "SendCatSMS" || n == "PGSendSMS" ||
          m.headerOr("T").substr(0, 4) == "tel:")
        sms_->handleSend(c, m);
      else
        chat_->handleMessage(c, m);
    } else if (method == "I") {
      chat_->handleInvite(c, m);
    } else if (method == "IN") {
      chat_->handleInfo(c, m);
    } else if (method == "B") {
      chat_->handleBye(c, m);
    } else if (method == "A") {
      // Acknowledgement of an accepted invitation: nothing to answer.
    } else {
      reply(c, m, 501, "Not Implemented");
    }
  } catch (const std::exception& e) {
    logAt(0, "conn %llu: %.*s failed: %s", (unsigned long long)c.id(), int(m.method.size()),
          m.method.data(), e.what());
    if (!c.closed()) reply(c, m, 500, "Server Internal Error");
  }
}

void SipcService::dispatchService(SipcConnection& c, const SipcMessage& m) {
  std::string n(m.headerOr("N"));
  if (contacts_->handles(n)) {
    contacts_->handle(c, m, n);
  } else if (profile_->handles(n)) {
    profile_->handle(c, m, n);
  } else if (sms_->handles(n)) {
    sms_->handleCommand(c, m, n);
  } else if (groups_->handles(n)) {
    groups_->handleCommand(c, m, n);
  } else if (n == "GetOfflineMessages") {
    chat_->handleOfflineRequest(c, m);
  } else {
    reply(c, m, 501, "Not Implemented");
  }
}

void SipcService::sweep() {
  if (shed_ > 0) {
    logAt(0, "dropped %ld unregistered connection(s) to make room (limits %zu, %zu per address)",
          shed_, maxPending_ > 0 ? maxPending_ : defaultMaxPending(), maxPendingPerAddress_);
    shed_ = 0;
  }
  registrar_->sweep();
  std::time_t now = std::time(nullptr);
  closeStalledHandshakes(now);
  std::vector<SipcConnection*> stale;
  // Unregistered connections in the order they came: the first young one ends the scan.
  for (const auto& [id, slot] : pending_.all()) {
    auto it = connections_.find(id);
    if (it == connections_.end() || it->second->closed()) continue;
    if (now - it->second->opened() < options_.loginTimeout) break;
    stale.push_back(it->second.get());
  }
  std::vector<SipcConnection*> registered;
  for (auto& [id, c] : connections_) {
    if (c->closed()) continue;
    if (c->session.registered) registered.push_back(c.get());
    if (c->session.registered ? now - c->lastSeen() >= 2 * options_.expires
                              : !pending_.addressOf(id) && now - c->opened() >= options_.loginTimeout)
      stale.push_back(c.get());
  }
  // Handing out may close a connection (its output full); closed ones are
  // only retired, so the pointers stay valid.
  for (SipcConnection* c : registered)
    if (!c->closed() && c->session.registered) chat_->checkStalled(*c, now);
  for (SipcConnection* c : stale) {
    logAt(1, "conn %llu: idle, closing", (unsigned long long)c->id());
    c->close();
  }
}

void SipcService::closeStalledHandshakes(std::time_t now) {
  std::vector<SipcConnection*> stalled;
  for (const auto& [id, slot] : pending_.all()) {  // oldest first
    auto it = connections_.find(id);
    if (it == connections_.end() || it->second->closed()) continue;
    if (now - it->second->opened() < kHandshakeLimit) break;
    if (it->second->handshaking()) stalled.push_back(it->second.get());
  }
  for (SipcConnection* c : stalled) {
    logAt(1, "conn %llu: TLS handshake not finished in time, closing", (unsigned long long)c->id());
    c->close();
  }
}

void SipcService::tick() {
  try {
    sms_->runDue();
  } catch (const std::exception& e) {
    logAt(0, "scheduled SMS: %s", e.what());
  }
}

}  // namespace tavrin::server
