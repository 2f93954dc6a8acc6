#include "sms_service.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "chat_relay.h"
#include "gateway_wire.h"
#include "log.h"
#include "metrics.h"
#include "schedule_clock.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

namespace {
constexpr long kMaxReceivers = 100;
constexpr long kMaxSchedules = 100;

long today() {
  return long(std::time(nullptr) / 86400);
}
}  // namespace

long long parseSendTime(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char sep = 0;
  int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &y, &mo, &d, &sep, &h, &mi, &s);
  if (n < 6 || (sep != ' ' && sep != 'T')) return -1;
  if (y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 ||
      h < 0 || mi < 0 || s < 0)
    return -1;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  return t == std::time_t(-1) ? -1 : (long long)t;
}

bool SmsService::takeQuota(long sender, long units) {
  Db& db = s_.store().db();
  long day = today();
  Stmt& q = db.sql("SELECT count FROM sms_quota WHERE owner=? AND day=?");
  q.bind(1, sender).bind(2, day);
  long used = q.step() ? long(q.integer(0)) : 0;
  q.reset();
  if (used + units > s_.options().smsDailyLimit) return false;
  db.sql("INSERT OR REPLACE INTO sms_quota(owner, day, count) VALUES(?,?,?)")
      .bind(1, sender)
      .bind(2, day)
      .bind(3, used + units)
      .run();
  return true;
}

SmsService::SmsService(SipcService& s) : s_(s) {
  migrateOutbox(s_.store().db());
  gateway_ = std::make_unique<SmsGateway>(
      s_.loop(), s_.store().db(), s_.options(),
      [this](long row, bool accepted) { onGatewayOutcome(row, accepted); });
}

SmsService::~SmsService() = default;

void SmsService::setCallbackBase(const std::string& base) {
  gateway_->setCallbackBase(s_.options().smsCallbackUrl.empty() ? base
                                                                : s_.options().smsCallbackUrl);
}

SmsService::Receiver SmsService::receiver(long sender, const Uri& u) {
  Receiver r;
  if (u.kind == Uri::Kind::kUser && u.number != sender) {
    r.target = s_.uriOf(u.number);
    r.account = u.number;
    return r;
  }
  if (u.kind == Uri::Kind::kUser) {  // the own phone
    std::optional<Account> me = s_.store().account(sender);
    if (!me || me->mobile.empty()) return r;
    r.target = telUri(me->mobile);
    r.phone = me->mobile;
    if (!gateway_->configured()) r.account = sender;
    return r;
  }
  if (u.kind != Uri::Kind::kTel) return r;
  r.phone = phoneNumber(u.mobile);
  if (r.phone.empty()) return r;
  r.target = telUri(r.phone);
  if (std::optional<Account> a = s_.store().accountByMobile(r.phone)) {
    if (a->number != sender || !gateway_->configured()) r.account = a->number;
  }
  return r;
}

std::vector<long> SmsService::enqueue(long sender, const std::vector<Receiver>& to,
                                      const std::string& command, const std::string& text,
                                      long scheduleId) {
  Db& db = s_.store().db();
  std::optional<Account> me = s_.store().account(sender);
  const std::string from =
      !s_.options().smsSender.empty() ? s_.options().smsSender : (me ? me->mobile : std::string());
  const int parts = smsShape(text).parts;
  const long long now = std::time(nullptr);
  std::vector<long> waiting;
  std::vector<std::pair<long, long>> inApp;  // row, account
  {
    Transaction tx(db);
    if (scheduleId != 0) {
      db.sql("DELETE FROM schedule_receivers WHERE sms=?").bind(1, scheduleId).run();
      db.sql("DELETE FROM schedule_sms WHERE id=?").bind(1, scheduleId).run();
    }
    for (const Receiver& r : to) {
      const int state = r.account != 0      ? kInApp
                        : r.phone.empty()    ? kFailed
                        : gateway_->configured() ? kWaiting
                                             : kNotSent;
      db.sql(
            "INSERT INTO outbox(sender, target, command, body, created, schedule_id, state, phone, "
            "sent_from, parts) VALUES(?,?,?,?,?,?,?,?,?,?)")
          .bind(1, sender)
          .bind(2, r.target)
          .bind(3, command)
          .bind(4, text)
          .bind(5, now)
          .bind(6, scheduleId)
          .bind(7, state)
          .bind(8, r.phone)
          .bind(9, from)
          .bind(10, parts)
          .run();
      const long row = long(db.lastInsertId());
      if (state == kWaiting) waiting.push_back(row);
      if (state == kInApp) inApp.emplace_back(row, r.account);
    }
  }
  const std::string senderUri = s_.uriOf(sender);
  for (const auto& [row, account] : inApp) {
    if (s_.chat().deliverLine(account, senderUri, "text/plain", text)) continue;
    logAt(1, "sms %ld: offline box of %ld full", row, account);
    db.sql("UPDATE outbox SET state=? WHERE id=?").bind(1, kFailed).bind(2, row).run();
  }
  if (!waiting.empty()) gateway_->pump();
  return waiting;
}

void SmsService::handleSend(SipcConnection& c, const SipcMessage& m) {
  long me = c.session.number;
  std::string command(m.headerOr("N", "SendSMS"));
  if (m.body.empty() || m.body.size() > kMaxText) return s_.reply(c, m, 400, "Bad Request");
  Uri u = parseUri(m.headerOr("T"));
  Db& db = s_.store().db();
  std::vector<Receiver> to;
  if (u.kind == Uri::Kind::kTel || u.kind == Uri::Kind::kUser) {
    if (u.kind == Uri::Kind::kUser) {
      std::optional<Account> a = s_.store().account(u.number);
      if (!a) return s_.reply(c, m, 404, "Not Found");
    }
    Receiver r = receiver(me, u);
    if (r.target.empty()) return s_.reply(c, m, u.kind == Uri::Kind::kTel ? 400 : 404, "Not Found");
    // A receiver who set refuse-SMS days takes no SMS from others.
    if (r.account != 0 && r.account != me) {
      std::optional<Account> a = s_.store().account(r.account);
      if (a && a->refuseSmsDays > 0) return s_.reply(c, m, 486, "Busy Here");
    }
    to.push_back(std::move(r));
  } else if (u.kind == Uri::Kind::kGroup) {
    Stmt& q = db.sql("SELECT member FROM group_members WHERE grp=?");
    q.bind(1, u.number);
    bool member = false;
    std::vector<long> members;
    while (q.step()) {
      long n = long(q.integer(0));
      if (n == me)
        member = true;
      else
        members.push_back(n);
    }
    if (!member) return s_.reply(c, m, 404, "Not Found");
    for (long n : members) to.push_back({s_.uriOf(n), n, {}});
  } else {
    return s_.reply(c, m, 400, "Bad Request");
  }
  if (!takeQuota(me, 1)) {
    logAt(1, "conn %llu: %ld reached the daily SMS limit", (unsigned long long)c.id(), me);
    return s_.reply(c, m, 486, "Busy Here");
  }
  const bool toPhone = to.size() == 1 && to[0].account == 0;
  const std::vector<long> waiting = enqueue(me, to, command, std::string(m.body), 0);
  ++metrics().smsAccepted;
  if (toPhone && !gateway_->configured()) return s_.reply(c, m, 503, "SMS Not Sent");
  if (waiting.empty()) return s_.reply(c, m, 280, "Send SMS OK");
  // "Sent" only once the gateway has it: the answer waits for its outcome.
  for (long row : waiting) held_[row] = {c.id(), m.callId, m.seq};
}

void SmsService::onGatewayOutcome(long row, bool accepted) {
  auto it = held_.find(row);
  if (it == held_.end()) return;
  const HeldAnswer held = it->second;
  held_.erase(it);
  SipcConnection* c = s_.connection(held.connection);
  if (!c) return;  // the sender left; the row's state tells the rest
  SipcMessage req;
  req.method = "M";
  req.callId = held.callId;
  req.seq = held.seq;
  if (accepted)
    s_.reply(*c, req, 280, "Send SMS OK");
  else
    s_.reply(*c, req, 503, "SMS Not Sent");
}

bool SmsService::isGatewayCallback(const HttpRequest& r) {
  return r.target.rfind("/sms/", 0) == 0;
}

HttpReply SmsService::gatewayCallback(const HttpRequest& r) {
  const size_t q = r.target.find('?');
  const std::string path = r.target.substr(0, q);
  const std::string query = q == std::string::npos ? std::string() : r.target.substr(q + 1);
  const std::string& key = s_.options().smsCallbackKey;
  const bool allowed = key.empty() ? (r.peer >> 24) == 127 : queryParam(query, "key") == key;
  if (!allowed) return {403, "Forbidden", "text/plain", "forbidden\n"};
  try {
    if (path == "/sms/dlr") return deliveryReport(query);
    if (path == "/sms/mo") return phoneMessage(query);
  } catch (const DbError& e) {
    // The gateway tries a failed call again; nothing of it was kept.
    logAt(0, "sms callback: %s", e.what());
    return {503, "Service Unavailable", "text/plain", "try later\n"};
  }
  return {404, "Not Found", "text/plain", "not found\n"};
}

HttpReply SmsService::deliveryReport(const std::string& query) {
  const auto report = parseDeliveryReport(query);
  if (!report) return {400, "Bad Request", "text/plain", "bad report\n"};
  const ReportOutcome outcome = reportOutcome(report->type);
  if (outcome == ReportOutcome::kNone) return {200, "OK", "text/plain", ""};
  Db& db = s_.store().db();
  Stmt& q = db.sql("SELECT sender, phone, body, state FROM outbox WHERE id=?");
  q.bind(1, report->row);
  if (!q.step()) return {200, "OK", "text/plain", ""};  // not ours, or long gone
  const long sender = long(q.integer(0));
  const std::string phone = q.text(1);
  const std::string body = q.text(2);
  const int state = int(q.integer(3));
  q.reset();
  if (state != kWaiting && state != kAccepted) return {200, "OK", "text/plain", ""};
  const bool delivered = outcome == ReportOutcome::kDelivered;
  db.sql("UPDATE outbox SET state=? WHERE id=? AND state IN (0,1)")
      .bind(1, delivered ? kDelivered : kFailed)
      .bind(2, report->row)
      .run();
  // A report can overtake the gateway's own answer: it was accepted then.
  if (state == kWaiting) onGatewayOutcome(report->row, true);
  logAt(1, "sms %ld: %s", report->row, delivered ? "delivered" : "not delivered");
  s_.chat().deliverLine(sender, telUri(phone), "text/sms-report",
                        std::string(delivered ? "短信已送达：" : "短信未送达：") + body);
  return {200, "OK", "text/plain", ""};
}

HttpReply SmsService::phoneMessage(const std::string& query) {
  const auto msg = parsePhoneMessage(query);
  if (!msg || msg->text.size() > kMaxText) return {400, "Bad Request", "text/plain", "bad message\n"};
  long to = 0;
  if (std::optional<Account> a = s_.store().accountByMobile(msg->to)) to = a->number;
  Db& db = s_.store().db();
  if (to == 0) {
    Stmt& q = db.sql(
        "SELECT sender FROM outbox WHERE phone=? AND state IN (1,2,3) ORDER BY id DESC LIMIT 1");
    q.bind(1, msg->from);
    if (q.step()) to = long(q.integer(0));
    q.reset();
  }
  if (to == 0) {
    Stmt& q = db.sql("SELECT owner FROM mobile_buddies WHERE mobile=? ORDER BY owner LIMIT 1");
    q.bind(1, msg->from);
    if (q.step()) to = long(q.integer(0));
    q.reset();
  }
  if (to == 0) {
    logAt(1, "sms from %s to %s: no account to hand it to", msg->from.c_str(), msg->to.c_str());
    return {200, "OK", "text/plain", ""};
  }
  if (!s_.chat().deliverLine(to, telUri(msg->from), "text/plain", msg->text))
    logAt(1, "sms from %s: offline box of %ld full", msg->from.c_str(), to);
  return {200, "OK", "text/plain", ""};
}

bool SmsService::handles(const std::string& n) const {
  return n == "SSSetScheduleSms" || n == "SSGetScheduleSmsList" || n == "SSGetScheduleSms" ||
         n == "SSDeleteScheduleSms";
}

void SmsService::handleCommand(SipcConnection& c, const SipcMessage& m, const std::string& n) {
  if (n == "SSSetScheduleSms") return setSchedule(c, m);
  if (n == "SSGetScheduleSmsList") return listSchedules(c, m);
  if (n == "SSGetScheduleSms") return getSchedules(c, m);
  deleteSchedule(c, m);
}

void SmsService::setSchedule(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* e = doc ? xmlPath(doc.get(), {"args", "schedule-sms"}) : nullptr;
  if (!e) return s_.reply(c, m, 400, "Bad Request");
  std::string sendTime = xmlAttr(e, "send-time");
  long long due = parseSendTime(sendTime);
  // The message text may come split over several text-bearing siblings.
  std::string text;
  for (const TiXmlElement* part = e->FirstChildElement("message"); part;
       part = part->NextSiblingElement()) {
    if (part->ValueStr() == "receivers") break;
    text += xmlText(part);
  }
  std::vector<std::string> receivers;
  const TiXmlElement* rs = e->FirstChildElement("receivers");
  for (const TiXmlElement* r = rs ? rs->FirstChildElement("receiver") : nullptr; r;
       r = r->NextSiblingElement("receiver")) {
    Uri u = parseUri(xmlAttr(r, "uri"));
    if (u.kind == Uri::Kind::kUser) receivers.push_back(s_.uriOf(u.number));
    if (u.kind == Uri::Kind::kTel) receivers.push_back(telUri(u.mobile));
  }
  if (due < 0 || text.empty() || text.size() > kMaxText || receivers.empty() ||
      receivers.size() > size_t(kMaxReceivers))
    return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  long me = c.session.number;
  Stmt& count = db.sql("SELECT count(*) FROM schedule_sms WHERE owner=?");
  count.bind(1, me);
  count.step();
  long have = long(count.integer(0));
  count.reset();
  if (have >= kMaxSchedules) return s_.reply(c, m, 486, "Busy Here");
  long id = 0;
  {
    Transaction tx(db);
    db.sql("INSERT INTO schedule_sms(owner, version, send_time, due, message) VALUES(?,1,?,?,?)")
        .bind(1, me)
        .bind(2, sendTime)
        .bind(3, due)
        .bind(4, text)
        .run();
    id = long(db.lastInsertId());
    for (const auto& r : receivers)
      db.sql("INSERT INTO schedule_receivers(sms, uri) VALUES(?,?)").bind(1, id).bind(2, r).run();
  }
  s_.reply(c, m, 200, "OK",
           "<results><schedule-sms id=\"" + std::to_string(id) + "\" version=\"1\" /></results>");
}

void SmsService::listSchedules(SipcConnection& c, const SipcMessage& m) {
  std::string b = "<results><schedule-sms-list version=\"1\">";
  Stmt& q = s_.store().db().sql("SELECT id, version FROM schedule_sms WHERE owner=? ORDER BY id");
  q.bind(1, c.session.number);
  while (q.step())
    b += "<schedule-sms id=\"" + std::to_string(q.integer(0)) + "\" version=\"" +
         std::to_string(q.integer(1)) + "\" />";
  s_.reply(c, m, 200, "OK", b + "</schedule-sms-list></results>");
}

void SmsService::getSchedules(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* list = doc ? xmlPath(doc.get(), {"args", "schedule-sms-list"}) : nullptr;
  if (!list) return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  std::string b = "<results><schedule-sms-list version=\"1\">";
  int n = 0;
  for (const TiXmlElement* e = list->FirstChildElement("schedule-sms"); e && n < kMaxSchedules;
       e = e->NextSiblingElement("schedule-sms"), ++n) {
    long id = 0;
    if (!xmlIntAttr(e, "id", id)) continue;
    Stmt& q = db.sql("SELECT version, send_time, message FROM schedule_sms WHERE id=? AND owner=?");
    q.bind(1, id).bind(2, c.session.number);
    if (!q.step()) continue;
    std::string item = "<schedule-sms id=\"" + std::to_string(id) + "\" version=\"" +
                       std::to_string(q.integer(0)) + "\" send-time=\"" + xmlEscape(q.text(1)) +
                       "\"><message>" + xmlEscape(q.text(2)) + "</message><receivers>";
    q.reset();
    Stmt& r = db.sql("SELECT uri FROM schedule_receivers WHERE sms=?");
    r.bind(1, id);
    while (r.step()) item += "<receiver uri=\"" + xmlEscape(r.text(0)) + "\" />";
    b += item + "</receivers></schedule-sms>";
  }
  s_.reply(c, m, 200, "OK", b + "</schedule-sms-list></results>");
}

void SmsService::deleteSchedule(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* e =
      doc ? xmlPath(doc.get(), {"args", "schedule-sms-list", "schedule-sms"}) : nullptr;
  long id = 0;
  if (!e || !xmlIntAttr(e, "id", id)) return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  db.sql("DELETE FROM schedule_sms WHERE id=? AND owner=?")
      .bind(1, id)
      .bind(2, c.session.number)
      .run();
  if (db.changes() == 0) return s_.reply(c, m, 404, "Not Found");
  db.sql("DELETE FROM schedule_receivers WHERE sms=?").bind(1, id).run();
  s_.reply(c, m, 200, "OK",
           "<results><schedule-sms-list><schedule-sms id=\"" + std::to_string(id) +
               "\" /></schedule-sms-list></results>");
}

void SmsService::runDue() {
  long long now = scheduleNow(s_.options().testClockFile);
  if (now >= 0) moveDue(now);
  gateway_->pump();
}

void SmsService::moveDue(long long now) {
  Db& db = s_.store().db();
  struct Due {
    long id, owner;
    std::string message;
  };
  std::vector<Due> due;
  Stmt& q = db.sql("SELECT id, owner, message FROM schedule_sms WHERE due<=? LIMIT 100");
  q.bind(1, now);
  while (q.step()) due.push_back({long(q.integer(0)), long(q.integer(1)), q.text(2)});
  if (due.empty()) return;
  for (const Due& d : due) {
    std::vector<Receiver> to;
    Stmt& r = db.sql("SELECT uri FROM schedule_receivers WHERE sms=?");
    r.bind(1, d.id);
    while (r.step()) {
      const std::string uri = r.text(0);
      Receiver one = receiver(d.owner, parseUri(uri));
      if (one.target.empty()) one.target = uri;  // kept, and failed below
      to.push_back(std::move(one));
    }
    // Off the schedule and into the outbox in one transaction.
    enqueue(d.owner, to, "ScheduleSMS", d.message, d.id);
    logAt(1, "scheduled SMS %ld of %ld sent to %zu receivers", d.id, d.owner, to.size());
  }
}

}  // namespace tavrin::server
