// SipcService: the SIP-C proxy's logic. It owns the client connections,
// knows which account is online on which connection, dispatches every
// request to the module that answers it (registration, profile and contact
// commands, presence, chats, SMS, groups) and offers those modules the
// helpers to answer and to start requests of the server's own.
// Event-loop thread only.
#pragma once

#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "event_loop.h"
#include "options.h"
#include "pending_slots.h"
#include "sipc_connection.h"
#include "store.h"

namespace tavrin::server {

class Registrar;
class PresenceHub;
class ContactCommands;
class ProfileCommands;
class ChatRelay;
class SmsService;
class GroupService;

using Headers = std::vector<std::pair<std::string, std::string>>;
// Headers of a request the server starts. An entry with no name is left out:
// the way to write a header only some of those requests carry.
using HeaderViews = std::initializer_list<std::pair<std::string_view, std::string_view>>;

class SipcService {
 public:
  // loop may be null (fuzzing): connections are then detached.
  SipcService(EventLoop* loop, Store& store, const Options& options);
  ~SipcService();

  // Takes a freshly accepted socket. Connections not yet registered are
  // limited per peer address and in total (a quarter of the descriptor
  // limit as it is now, unless set): a newcomer over a limit makes room by
  // dropping another such connection (PendingSlots picks it: one that has
  // said nothing before one that has begun a login, from the address that
  // holds the most), so a flood cannot use up the descriptors the
  // signed-in users and new logins need.
  // With tls, the connection speaks TLS with that context's certificate; the
  // metrics count it under the listener "sipc-tls", else "sipc".
  void accept(int fd, SSL_CTX* tls = nullptr);
  // Out of descriptors: drops an unregistered connection as above; false
  // when there is none.
  bool shedOldestUnregistered();
  // The connection has registered: no longer subject to the limits above.
  void markRegistered(SipcConnection& c);
  size_t unregisteredCount() const { return pending_.size(); }
  // The connection sent a message before registering: it has begun a login.
  void markBegun(SipcConnection& c) { pending_.begin(c.id()); }
  // The IPv4 peer address of a connection not yet registered (0 when unknown).
  uint32_t peerAddressOf(const SipcConnection& c) const;
  // A detached connection fed by hand (fuzzing and tests).
  SipcConnection& openDetached();
  // Destroys connections closed since the last call (detached use only).
  void collectClosed();

  void onMessage(SipcConnection& c, const SipcMessage& m);
  // The message a connection cuts from its bytes, reused from one to the next.
  SipcMessage& incoming() { return incoming_; }
  void onClosed(SipcConnection& c);
  // A connection has bytes queued: written after the current batch of events.
  void queueFlush(SipcConnection* c) { toFlush_.push_back(c); }
  void flushQueued();
  // Output buffers are lent to connections while they have bytes queued and
  // returned when drained, so an idle connection keeps none.
  std::string borrowBuffer();
  void returnBuffer(std::string&& b);
  // Periodic work: scheduled SMS that fell due, the SMS gateway's queue.
  void tick();
  // Drops connections that never registered within the login time-out, and
  // registered ones silent for twice their lifetime.
  void sweep();

  // --- helpers for the modules ---
  void reply(SipcConnection& c, const SipcMessage& req, int status, std::string_view reason,
             std::string_view body = {}, const Headers& extra = {});
  // Sends a request of the server's own on the given call id, taking the
  // session's next sequence number.
  void request(SipcConnection& c, std::string_view method, long callId, HeaderViews headers,
               std::string_view body);
  long newServerCallId(SipcConnection& c) { return c.session.nextServerCallId++; }
  SipcConnection* online(long number) const;
  std::string uriOf(long number) const;
  std::string groupUriOf(long number) const;
  Store& store() { return store_; }
  EventLoop* loop() const { return loop_; }
  const Options& options() const { return options_; }
  const FrameLimits& frameLimits() const { return limits_; }
  // A registered connection may send more: the presence subscription of a
  // large contact list names every contact (about 52 bytes each).
  const FrameLimits& registeredFrameLimits() const { return registeredLimits_; }
  size_t connectionCount() const { return connections_.size(); }
  size_t signedInCount() const { return online_.size(); }
  // Of them, the ones over TLS (for the metrics of each listener).
  size_t tlsConnectionCount() const { return tlsConnections_; }
  // A TLS handshake may take this long; a client that stalls in it is dropped.
  static constexpr std::time_t kHandshakeLimit = 10;

  Registrar& registrar() { return *registrar_; }
  PresenceHub& presence() { return *presence_; }
  ChatRelay& chat() { return *chat_; }
  SmsService& sms() { return *sms_; }
  // The open connection with that id, or null.
  SipcConnection* connection(uint64_t id) const;
  ContactCommands& contacts() { return *contacts_; }
  // Account -> connection, maintained by the registrar.
  void setOnline(long number, SipcConnection* c);

 private:
  void dispatchService(SipcConnection& c, const SipcMessage& m);
  void forgetPending(uint64_t id);
  void dropPending(uint64_t id);
  void closeStalledHandshakes(std::time_t now);

  EventLoop* loop_;
  Store& store_;
  const Options& options_;
  FrameLimits limits_;
  FrameLimits registeredLimits_{.maxHead = 16 * 1024, .maxBody = kMaxRegisteredBody};
  uint64_t nextId_ = 1;
  std::unordered_map<uint64_t, std::unique_ptr<SipcConnection>> connections_;
  std::vector<std::unique_ptr<SipcConnection>> closed_;
  // Unregistered accepted connections with their peer's IPv4 address.
  PendingSlots pending_;
  size_t maxPending_;  // 0: a quarter of the descriptor limit, read at each accept
  size_t maxPendingPerAddress_;
  size_t tlsConnections_ = 0;
  long shed_ = 0;  // dropped to make room since the last sweep (logged there)
  std::vector<SipcConnection*> toFlush_;
  SipcMessage incoming_;
  std::vector<std::string> spareBuffers_;  // alive until the batch ends (retired, not freed)
  std::unordered_map<long, SipcConnection*> online_;
  std::unique_ptr<Registrar> registrar_;
  std::unique_ptr<PresenceHub> presence_;
  std::unique_ptr<ContactCommands> contacts_;
  std::unique_ptr<ProfileCommands> profile_;
  std::unique_ptr<ChatRelay> chat_;
  std::unique_ptr<SmsService> sms_;
  std::unique_ptr<GroupService> groups_;
};

// The Date header value of messages the server hands out, e.g.
// "Thu, 10 Dec 2026 11:44:53 GMT"; of now unless a time is given.
const std::string& httpDate(std::time_t at = std::time(nullptr));

}  // namespace tavrin::server
