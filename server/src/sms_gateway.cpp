#include "sms_gateway.h"

#include <unistd.h>

#include <ctime>
#include <vector>

#include "log.h"

namespace tavrin::server {

void migrateOutbox(Db& db) {
  std::vector<std::string> have;
  Stmt& q = db.sql("SELECT name FROM pragma_table_info('outbox')");
  while (q.step()) have.push_back(q.text(0));
  auto add = [&](const char* name, const char* sql) {
    for (const auto& h : have)
      if (h == name) return;
    db.exec(sql);
  };
  // Rows from before the gateway were never meant to leave: not sent.
  add("state", "ALTER TABLE outbox ADD COLUMN state INTEGER NOT NULL DEFAULT 5");
  add("phone", "ALTER TABLE outbox ADD COLUMN phone TEXT NOT NULL DEFAULT ''");
  add("sent_from", "ALTER TABLE outbox ADD COLUMN sent_from TEXT NOT NULL DEFAULT ''");
  add("parts", "ALTER TABLE outbox ADD COLUMN parts INTEGER NOT NULL DEFAULT 1");
  add("attempts", "ALTER TABLE outbox ADD COLUMN attempts INTEGER NOT NULL DEFAULT 0");
  add("next_try", "ALTER TABLE outbox ADD COLUMN next_try INTEGER NOT NULL DEFAULT 0");
  // The queue in the order it is sent: a pass reads the first rows only,
  // however many wait behind them.
  db.exec("CREATE INDEX IF NOT EXISTS outbox_queue ON outbox(state, id)");
  db.exec("CREATE INDEX IF NOT EXISTS outbox_by_phone ON outbox(phone)");
}

SmsGateway::SmsGateway(EventLoop* loop, Db& db, const Options& options, Outcome outcome)
    : loop_(loop), db_(db), options_(options), outcome_(std::move(outcome)) {
  if (!options.smsGatewayUrl.empty()) url_ = parseGatewayUrl(options.smsGatewayUrl);
}

// Exchanges cut off here leave their rows waiting: sent again after the next start.
SmsGateway::~SmsGateway() {
  for (int fd : idle_) ::close(fd);
}

void SmsGateway::pump() {
  if (!configured()) return;
  const auto now = std::chrono::steady_clock::now();
  std::vector<HttpGet*> late;
  for (auto& [row, get] : running_)
    if (now - get->started() > std::chrono::seconds(kTimeoutSeconds)) late.push_back(get.get());
  for (HttpGet* get : late) get->cancel();
  if (running_.size() >= kInFlight) return;
  struct Row {
    long id;
    std::string phone, from, text;
  };
  std::vector<Row> rows;
  Stmt& q = db_.sql(
      "SELECT id, phone, sent_from, body FROM outbox WHERE state=0 AND phone<>'' AND next_try<=? "
      "ORDER BY id LIMIT ?");
  q.bind(1, (long long)std::time(nullptr)).bind(2, (long long)(2 * kInFlight));
  while (rows.size() + running_.size() < kInFlight && q.step()) {
    const long id = long(q.integer(0));
    if (!running_.count(id)) rows.push_back({id, q.text(1), q.text(2), q.text(3)});
  }
  q.reset();
  for (const Row& r : rows) send(r.id, r.phone, r.from, r.text);
}

void SmsGateway::send(long row, const std::string& phone, const std::string& from,
                      const std::string& text) {
  SendSms sms;
  sms.user = options_.smsGatewayUser;
  sms.password = options_.smsGatewayPassword;
  sms.from = from;
  sms.to = phone;
  sms.text = text;
  if (!callbackBase_.empty()) {
    sms.dlrUrl = callbackBase_ + "/sms/dlr?id=" + std::to_string(row) + "&type=%d";
    if (!options_.smsCallbackKey.empty())
      sms.dlrUrl += "&key=" + percentEncode(options_.smsCallbackKey);
  }
  int reuse = -1;
  if (!idle_.empty()) {
    reuse = idle_.back();
    idle_.pop_back();
  }
  auto get = std::make_unique<HttpGet>(
      *loop_, url_->host, url_->port, sendSmsTarget(url_->path, sms),
      [this, row](int status, const std::string&, int keptFd) { finished(row, status, keptFd); },
      reuse);
  HttpGet* g = get.get();
  running_[row] = std::move(get);
  logAt(2, "sms %ld: to %s through the gateway", row, phone.c_str());
  g->start();
}

void SmsGateway::finished(long row, int status, int keptFd) {
  auto it = running_.find(row);
  if (it != running_.end()) {
    loop_->retire(std::move(it->second));
    running_.erase(it);
  }
  if (keptFd >= 0) {
    if (idle_.size() < kInFlight)
      idle_.push_back(keptFd);
    else
      ::close(keptFd);
  }
  // A kept connection the gateway had closed meanwhile: not a try, the row
  // goes again on a new one.
  if (status == HttpGet::kStale) return pump();
  const bool accepted = status >= 200 && status < 300;
  // 401 and 403 are the operator's to mend (user, password, allowed
  // addresses): the SMS waits for that like for a gateway that is down.
  const bool refused = status >= 400 && status < 500 && status != 401 && status != 403 &&
                       status != 408 && status != 429;
  try {
    if (accepted || refused) {
      db_.sql("UPDATE outbox SET state=? WHERE id=? AND state=0")
          .bind(1, accepted ? kAccepted : kFailed)
          .bind(2, row)
          .run();
      const bool changed = db_.changes() == 1;
      logAt(1, "sms %ld: %s by the gateway (%d)", row, accepted ? "accepted" : "refused", status);
      if (changed) outcome_(row, accepted);
      if (accepted) pump();
      return;
    }
    db_.sql(
           "UPDATE outbox SET attempts=attempts+1, next_try=?+min(?, 1<<min(attempts, 10)) "
           "WHERE id=? AND state=0")
        .bind(1, (long long)std::time(nullptr))
        .bind(2, kMaxBackoff)
        .bind(3, row)
        .run();
    logAt(1, "sms %ld: gateway not reached (%d), tried again later", row, status);
  } catch (const DbError& e) {
    // The row keeps its state: sent again on a later pass.
    logAt(0, "sms %ld: %s", row, e.what());
  }
}

}  // namespace tavrin::server
