#include "store.h"

#include <ctime>

#include "digest.h"

namespace tavrin::server {

namespace {

const char* kSchema = R"SQL(
PRAGMA journal_mode=WAL;
PRAGMA synchronous=NORMAL;
CREATE TABLE IF NOT EXISTS accounts(
  number INTEGER PRIMARY KEY, mobile TEXT UNIQUE, pwkey TEXT NOT NULL,
  nickname TEXT NOT NULL DEFAULT '', impresa TEXT NOT NULL DEFAULT '',
  name TEXT NOT NULL DEFAULT '', gender INTEGER NOT NULL DEFAULT 0,
  profile TEXT NOT NULL DEFAULT '', score INTEGER NOT NULL DEFAULT 0,
  refuse_sms_days INTEGER NOT NULL DEFAULT 0, echo INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS buddy_lists(
  owner INTEGER NOT NULL, id INTEGER NOT NULL, name TEXT NOT NULL, PRIMARY KEY(owner, id));
CREATE TABLE IF NOT EXISTS buddies(
  owner INTEGER NOT NULL, buddy INTEGER NOT NULL, local_name TEXT NOT NULL DEFAULT '',
  lists TEXT NOT NULL DEFAULT '', relation INTEGER NOT NULL DEFAULT 0,
  online_notify INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(owner, buddy));
CREATE INDEX IF NOT EXISTS buddies_by_buddy ON buddies(buddy);
CREATE TABLE IF NOT EXISTS mobile_buddies(
  owner INTEGER NOT NULL, mobile TEXT NOT NULL, local_name TEXT NOT NULL DEFAULT '',
  lists TEXT NOT NULL DEFAULT '', relation INTEGER NOT NULL DEFAULT 1, PRIMARY KEY(owner, mobile));
CREATE TABLE IF NOT EXISTS blacklist(
  owner INTEGER NOT NULL, uri TEXT NOT NULL, local_name TEXT NOT NULL DEFAULT '',
  PRIMARY KEY(owner, uri));
CREATE TABLE IF NOT EXISTS contact_requests(
  requester INTEGER NOT NULL, target INTEGER NOT NULL, descr TEXT NOT NULL DEFAULT '',
  PRIMARY KEY(requester, target));
CREATE TABLE IF NOT EXISTS groups(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, introduce TEXT NOT NULL DEFAULT '',
  bulletin TEXT NOT NULL DEFAULT '', category INTEGER NOT NULL DEFAULT 0,
  version INTEGER NOT NULL DEFAULT 1);
CREATE TABLE IF NOT EXISTS group_members(
  grp INTEGER NOT NULL, member INTEGER NOT NULL, identity INTEGER NOT NULL DEFAULT 3,
  PRIMARY KEY(grp, member));
CREATE INDEX IF NOT EXISTS group_members_by_member ON group_members(member);
CREATE TABLE IF NOT EXISTS offline_messages(
  id INTEGER PRIMARY KEY, recipient INTEGER NOT NULL, sender_uri TEXT NOT NULL,
  source_uri TEXT NOT NULL DEFAULT '', content_type TEXT NOT NULL DEFAULT '',
  body TEXT NOT NULL, date TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS offline_by_recipient ON offline_messages(recipient);
CREATE INDEX IF NOT EXISTS offline_by_sender ON offline_messages(sender_uri);
CREATE TABLE IF NOT EXISTS outbox(
  id INTEGER PRIMARY KEY, sender INTEGER NOT NULL, target TEXT NOT NULL,
  command TEXT NOT NULL, body TEXT NOT NULL, created INTEGER NOT NULL,
  schedule_id INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS sms_quota(
  owner INTEGER NOT NULL, day INTEGER NOT NULL, count INTEGER NOT NULL, PRIMARY KEY(owner, day));
CREATE TABLE IF NOT EXISTS schedule_sms(
  id INTEGER PRIMARY KEY, owner INTEGER NOT NULL, version INTEGER NOT NULL DEFAULT 1,
  send_time TEXT NOT NULL, due INTEGER NOT NULL, message TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS schedule_by_due ON schedule_sms(due);
CREATE TABLE IF NOT EXISTS schedule_receivers(sms INTEGER NOT NULL, uri TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS login_addresses(
  account INTEGER NOT NULL, address INTEGER NOT NULL, at INTEGER NOT NULL,
  PRIMARY KEY(account, address));
)SQL";

Account rowToAccount(Stmt& s) {
  Account a;
  a.number = long(s.integer(0));
  a.mobile = s.text(1);
  a.keyHex = s.text(2);
  a.nickname = s.text(3);
  a.impresa = s.text(4);
  a.name = s.text(5);
  a.gender = int(s.integer(6));
  a.profile = s.text(7);
  a.score = long(s.integer(8));
  a.refuseSmsDays = long(s.integer(9));
  a.echo = s.integer(10) != 0;
  a.disabled = s.integer(11) != 0;
  a.created = long(s.integer(12));
  return a;
}

#define ACCOUNT_COLUMNS                                                                 \
  "number, ifnull(mobile,''), pwkey, nickname, impresa, name, gender, profile, score, " \
  "refuse_sms_days, echo, disabled, created"

// Columns added after the first release: a data folder from before gains
// them on its first start with this version.
void addColumn(Db& db, const char* table, const char* column, const char* alter) {
  Stmt& q = db.sql("SELECT count(*) FROM pragma_table_info(?) WHERE name=?");
  q.bind(1, std::string_view(table)).bind(2, std::string_view(column));
  q.step();
  const bool present = q.integer(0) != 0;
  q.reset();
  if (!present) db.exec(alter);
}

}  // namespace

Store::Store(const std::string& path, std::string domain) : db_(path), domain_(std::move(domain)) {
  db_.exec(kSchema);
  addColumn(db_, "accounts", "disabled",
            "ALTER TABLE accounts ADD COLUMN disabled INTEGER NOT NULL DEFAULT 0");
  addColumn(db_, "accounts", "created",
            "ALTER TABLE accounts ADD COLUMN created INTEGER NOT NULL DEFAULT 0");
  // Digest keys are bound to the domain: a folder made for one domain cannot serve another.
  Stmt& q = db_.sql("SELECT value FROM meta WHERE key='domain'");
  if (q.step()) {
    std::string stored = q.text(0);
    q.reset();
    if (stored != domain_)
      throw DbError("the data folder belongs to domain " + stored + ", not " + domain_);
  } else {
    db_.sql("INSERT INTO meta(key, value) VALUES('domain', ?)").bind(1, domain_).run();
  }
}

std::optional<Account> Store::account(long number) {
  Stmt& s = db_.sql("SELECT " ACCOUNT_COLUMNS " FROM accounts WHERE number=?");
  s.bind(1, number);
  if (!s.step()) return std::nullopt;
  Account a = rowToAccount(s);
  s.reset();
  return a;
}

std::optional<Account> Store::accountByMobile(std::string_view mobile) {
  Stmt& s = db_.sql("SELECT " ACCOUNT_COLUMNS " FROM accounts WHERE mobile=?");
  s.bind(1, mobile);
  if (!s.step()) return std::nullopt;
  Account a = rowToAccount(s);
  s.reset();
  return a;
}

void Store::putAccount(const Account& a, std::string_view password) {
  Stmt& s = db_.sql(
      "INSERT OR REPLACE INTO accounts(number, mobile, pwkey, nickname, impresa, name, gender, "
      "profile, score, refuse_sms_days, echo, disabled, created) "
      "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
  s.bind(1, a.number);
  if (a.mobile.empty())
    s.bindNull(2);
  else
    s.bind(2, a.mobile);
  s.bind(3, digestKeyHex(std::to_string(a.number), domain_, password))
      .bind(4, a.nickname)
      .bind(5, a.impresa)
      .bind(6, a.name)
      .bind(7, a.gender)
      .bind(8, a.profile)
      .bind(9, a.score)
      .bind(10, a.refuseSmsDays)
      .bind(11, a.echo ? 1 : 0)
      .bind(12, a.disabled ? 1 : 0)
      .bind(13, a.created != 0 ? a.created : long(std::time(nullptr)))
      .run();
}

bool Store::checkPassword(const Account& a, std::string_view password) const {
  return digestKeyHex(std::to_string(a.number), domain_, password) == a.keyHex;
}

void Store::setNickname(long number, std::string_view v) {
  db_.sql("UPDATE accounts SET nickname=? WHERE number=?").bind(1, v).bind(2, number).run();
}

void Store::setImpresa(long number, std::string_view v) {
  db_.sql("UPDATE accounts SET impresa=? WHERE number=?").bind(1, v).bind(2, number).run();
}

void Store::setRefuseSmsDays(long number, long days) {
  db_.sql("UPDATE accounts SET refuse_sms_days=? WHERE number=?")
      .bind(1, days)
      .bind(2, number)
      .run();
}

void Store::setDisabled(long number, bool disabled) {
  db_.sql("UPDATE accounts SET disabled=? WHERE number=?")
      .bind(1, disabled ? 1 : 0)
      .bind(2, number)
      .run();
}

void Store::setPassword(long number, std::string_view password) {
  db_.sql("UPDATE accounts SET pwkey=? WHERE number=?")
      .bind(1, digestKeyHex(std::to_string(number), domain_, password))
      .bind(2, number)
      .run();
}

bool Store::removeAccount(long number) {
  Transaction tx(db_, Transaction::kImmediate);
  db_.sql("DELETE FROM accounts WHERE number=?").bind(1, number).run();
  const bool existed = db_.changes() > 0;
  const std::string uriPrefix = "sip:" + std::to_string(number) + "@";
  db_.sql("DELETE FROM buddies WHERE owner=?1 OR buddy=?1").bind(1, number).run();
  db_.sql("DELETE FROM buddy_lists WHERE owner=?").bind(1, number).run();
  db_.sql("DELETE FROM mobile_buddies WHERE owner=?").bind(1, number).run();
  db_.sql("DELETE FROM blacklist WHERE owner=? OR substr(uri, 1, length(?2))=?2")
      .bind(1, number)
      .bind(2, uriPrefix)
      .run();
  db_.sql("DELETE FROM contact_requests WHERE requester=?1 OR target=?1").bind(1, number).run();
  db_.sql("DELETE FROM group_members WHERE member=?").bind(1, number).run();
  db_.sql("DELETE FROM offline_messages WHERE recipient=?").bind(1, number).run();
  db_.sql("DELETE FROM sms_quota WHERE owner=?").bind(1, number).run();
  db_.sql("DELETE FROM schedule_receivers WHERE sms IN (SELECT id FROM schedule_sms WHERE owner=?)")
      .bind(1, number)
      .run();
  db_.sql("DELETE FROM schedule_sms WHERE owner=?").bind(1, number).run();
  return existed;
}

bool Store::empty() {
  Stmt& s = db_.sql("SELECT count(*) FROM accounts");
  s.step();
  bool e = s.integer(0) == 0;
  s.reset();
  return e;
}

}  // namespace tavrin::server
