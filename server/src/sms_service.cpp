#include "sms_service.h"

#include <cstdio>
#include <ctime>
#include <vector>

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

void SmsService::handleSend(SipcConnection& c, const SipcMessage& m) {
  long me = c.session.number;
  std::string command(m.headerOr("N", "SendSMS"));
  if (m.body.empty() || m.body.size() > kMaxText) return s_.reply(c, m, 400, "Bad Request");
  Uri u = parseUri(m.headerOr("T"));
  Db& db = s_.store().db();
  std::vector<std::string> phones;  // the outbox's targets
  if (u.kind == Uri::Kind::kTel) {
    phones.push_back(telUri(u.mobile));
  } else if (u.kind == Uri::Kind::kUser) {
    std::optional<Account> to = s_.store().account(u.number);
    if (!to) return s_.reply(c, m, 404, "Not Found");
    // A receiver who set refuse-SMS days takes no SMS from others.
    if (to->refuseSmsDays > 0 && u.number != me) return s_.reply(c, m, 486, "Busy Here");
    phones.push_back(s_.uriOf(u.number));
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
    for (long n : members) phones.push_back(s_.uriOf(n));
  } else {
    return s_.reply(c, m, 400, "Bad Request");
  }
  if (!takeQuota(me, 1)) {
    logAt(1, "conn %llu: %ld reached the daily SMS limit", (unsigned long long)c.id(), me);
    return s_.reply(c, m, 486, "Busy Here");
  }
  {
    Transaction tx(db);
    for (const auto& target : phones)
      db.sql("INSERT INTO outbox(sender, target, command, body, created) VALUES(?,?,?,?,?)")
          .bind(1, me)
          .bind(2, target)
          .bind(3, command)
          .bind(4, m.body)
          .bind(5, (long long)std::time(nullptr))
          .run();
  }
  ++metrics().smsAccepted;
  s_.reply(c, m, 280, "Send SMS OK");
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
  Db& db = s_.store().db();
  long long now = scheduleNow(s_.options().testClockFile);
  if (now < 0) return;
  struct Due {
    long id, owner;
    std::string message;
  };
  std::vector<Due> due;
  Stmt& q = db.sql("SELECT id, owner, message FROM schedule_sms WHERE due<=? LIMIT 100");
  q.bind(1, now);
  while (q.step()) due.push_back({long(q.integer(0)), long(q.integer(1)), q.text(2)});
  if (due.empty()) return;
  Transaction tx(db);
  for (const Due& d : due) {
    std::vector<std::string> receivers;
    Stmt& r = db.sql("SELECT uri FROM schedule_receivers WHERE sms=?");
    r.bind(1, d.id);
    while (r.step()) receivers.push_back(r.text(0));
    for (const auto& to : receivers)
      db.sql(
            "INSERT INTO outbox(sender, target, command, body, created, schedule_id) "
            "VALUES(?,?,?,?,?,?)")
          .bind(1, d.owner)
          .bind(2, to)
          .bind(3, "ScheduleSMS")
          .bind(4, d.message)
          .bind(5, now)
          .bind(6, d.id)
          .run();
    db.sql("DELETE FROM schedule_receivers WHERE sms=?").bind(1, d.id).run();
    db.sql("DELETE FROM schedule_sms WHERE id=?").bind(1, d.id).run();
    logAt(1, "scheduled SMS %ld of %ld sent to %zu receivers", d.id, d.owner, receivers.size());
  }
}

}  // namespace tavrin::server
