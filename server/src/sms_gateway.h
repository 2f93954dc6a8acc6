// SmsGateway: SMS to phones leave the outbox through the SMS gateway's HTTP
// sendsms interface. A row waits (state kWaiting) until the gateway has
// accepted it with a 2xx answer; a failed exchange, a refusal the operator
// can mend (401, 403, 5xx) or no answer within 20 s is tried again with a
// back-off doubling from 1 s to 60 s, and a message the gateway refuses for
// good (another 4xx) is failed. At most kInFlight exchanges run at once,
// each inside the event loop (HttpGet), on connections kept alive from one
// SMS to the next. The state is committed to the
// outbox the moment an answer comes, so a restart sends every row that was
// not accepted yet and none that was: only a row whose answer the restart
// cut off can go twice. Event-loop thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "event_loop.h"
#include "gateway_wire.h"
#include "http_get.h"
#include "options.h"
#include "sqlite_db.h"

namespace tavrin::server {

// outbox.state
enum OutboxState : int {
  kWaiting = 0,    // for the gateway
  kAccepted = 1,   // taken by the gateway
  kDelivered = 2,  // the phone has it (delivery report)
  kFailed = 3,     // refused for good, or reported undelivered
  kInApp = 4,      // the number is an account's: handed to its client instead
  kNotSent = 5,    // no gateway configured: kept, never sent
};

class SmsGateway {
 public:
  // Called when a row leaves kWaiting: accepted or failed for good.
  using Outcome = std::function<void(long row, bool accepted)>;
  SmsGateway(EventLoop* loop, Db& db, const Options& options, Outcome outcome);
  ~SmsGateway();

  bool configured() const { return url_.has_value() && loop_ != nullptr; }
  // Where the gateway reaches this server for delivery reports ("http://HOST:PORT").
  void setCallbackBase(std::string base) { callbackBase_ = std::move(base); }
  // Starts exchanges for waiting rows that are due; ends those that took too long.
  void pump();
  size_t inFlight() const { return running_.size(); }

  static constexpr size_t kInFlight = 16;
  static constexpr int kTimeoutSeconds = 20;
  static constexpr long kMaxBackoff = 60;

 private:
  void send(long row, const std::string& phone, const std::string& from, const std::string& text);
  void finished(long row, int status, int keptFd);

  EventLoop* loop_;
  Db& db_;
  const Options& options_;
  Outcome outcome_;
  std::optional<GatewayUrl> url_;
  std::string callbackBase_;
  std::map<long, std::unique_ptr<HttpGet>> running_;  // by outbox row
  std::vector<int> idle_;  // connections to the gateway between two exchanges
};

// Adds the columns the gateway keeps with an outbox row to a table made
// before they existed (rows from then have no phone and are never sent).
void migrateOutbox(Db& db);

}  // namespace tavrin::server
