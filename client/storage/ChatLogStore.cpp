#include "storage/ChatLogStore.h"

#include <algorithm>

#include "storage/ChatLogDate.h"
#include "storage/ChatLogSearch.h"
#include "storage/CppSQLite3Database.h"
#include "storage/HistoryDatabase.h"
#include "storage/Text16.h"

namespace tavrin::storage {

// The table name is the only text placed into these statements; it is "tab"
// and the digits of a number, so it cannot change a statement. Values are bound.

ChatLogStore::ChatLogStore(std::filesystem::path databasePath, std::int32_t userId)
    : path_(std::move(databasePath)), table_(tableName(userId)) {}

std::u16string ChatLogStore::tableName(std::int32_t userId) {
  return u"tab" + decimal16(userId);
}

std::u16string ChatLogStore::datesTable(std::u16string_view table) {
  return std::u16string(table) + u"_date";
}

std::u16string ChatLogStore::contactKey(std::int32_t contactId) {
  return u"Log" + decimal16(contactId);
}

std::u16string ChatLogStore::withoutTabsAndLineFeeds(std::u16string_view line) {
  std::u16string kept;
  kept.reserve(line.size());
  for (char16_t c : line)
    if (c != u'\t' && c != u'\n') kept += c;
  return kept;
}

std::int32_t ChatLogStore::contactOfKey(std::u16string_view key) {
  if (key.size() < 4 || key.size() > 14 || key.substr(0, 3) != u"Log") return 0;
  std::int64_t value = 0;
  size_t i = 3;
  const bool negative = key[i] == u'-';
  if (negative) ++i;
  if (i == key.size()) return 0;
  for (; i < key.size(); ++i) {
    if (key[i] < u'0' || key[i] > u'9') return 0;
    value = value * 10 + (key[i] - u'0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<std::int32_t>(value);
}

namespace {

std::int64_t integerOf(const char16_t* text) {
  std::int64_t value = 0;
  bool negative = *text == u'-';
  if (negative) ++text;
  for (; *text >= u'0' && *text <= u'9'; ++text) value = value * 10 + (*text - u'0');
  return negative ? -value : value;
}

// The dates table beside a log table, and the triggers that keep it with
// the log whoever writes: a line logged by the original statements (three
// values) is dated when it is inserted, a deleted line takes its date along.
// The local offset is SQLite's own reading of the zone, as localtime() is.
void createDates(CppSQLite3Database& db, const std::u16string& table) {
  const std::u16string dates = ChatLogStore::datesTable(table);
  const std::u16string offset =
      u"cast(round((julianday('now', 'localtime') - julianday('now')) * 1440) as integer)";
  requireDone(db, db.execute(u"create table if not exists " + dates +
                             u" (Row integer primary key, LocalTime char(32));"));
  requireDone(db, db.execute(u"create trigger if not exists " + dates + u"_in after insert on " +
                             table + u" begin insert or replace into " + dates +
                             u" values (new.rowid, strftime('%Y-%m-%dT%H:%M:%S', 'now', "
                             u"'localtime') || printf('%s%02d:%02d', case when " +
                             offset + u" < 0 then '-' else '+' end, abs(" + offset +
                             u") / 60, abs(" + offset + u") % 60)); end;"));
  requireDone(db, db.execute(u"create trigger if not exists " + dates + u"_out after delete on " +
                             table + u" begin delete from " + dates +
                             u" where Row = old.rowid; end;"));
}

// The columns rows are read by (the log table as "t"): lines logged before
// the dates table read without a date.
std::u16string rowColumns(CppSQLite3Database& db, const std::u16string& table) {
  const std::u16string dates = ChatLogStore::datesTable(table);
  if (!db.tableExists(dates))
    return u"t.rowid, FriendCode, FriendLog, Time, '' from " + table + u" t";
  return u"t.rowid, FriendCode, FriendLog, Time, coalesce(d.LocalTime, '') from " + table +
         u" t left join " + dates + u" d on d.Row = t.rowid";
}

// Rows of "select <rowColumns> ...".
std::vector<ChatLogRow> readRows(CppSQLite3Query& cursor) {
  std::vector<ChatLogRow> rows;
  for (; !cursor.eof(); cursor.nextRow())
    rows.push_back({integerOf(cursor.fieldValue(0)),
                    ChatLogStore::contactOfKey(cursor.fieldValue(1)), cursor.fieldValue(2),
                    cursor.fieldValue(3), cursor.fieldValue(4)});
  cursor.finalize();
  return rows;
}

}  // namespace

bool ChatLogStore::append(std::int32_t contactId, std::u16string_view line,
                          std::u16string_view time, std::u16string_view localTime) const {
  return appendRow(contactId, line, time, localTime) != 0;
}

std::int64_t ChatLogStore::appendRow(std::int32_t contactId, std::u16string_view line,
                                     std::u16string_view time,
                                     std::u16string_view localTime) const {
  if (line.empty()) return 0;
  const std::u16string when =
      localTime.empty() ? isoLocalOn(std::time(nullptr), time) : std::u16string(localTime);
  const std::u16string stored = withoutTabsAndLineFeeds(line);
  const std::u16string key = contactKey(contactId);
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (!db.tableExists(table_)) {
    requireDone(db, db.execute(u"create table " + table_ +
                               u" (FriendCode char(64), FriendLog char(512), Time char(32));"));
    // Opening a chat reads one contact's lines out of everyone's.
    ChatLogSearch::createContactIndex(db, table_);
  }
  if (!db.tableExists(datesTable(table_))) createDates(db, table_);
  requireDone(db, db.execute(u"insert into " + table_ + u" values (?,?,?);", {key, stored, time}));
  CppSQLite3Query cursor = db.query(u"select last_insert_rowid();");
  const std::int64_t rowid = cursor.eof() ? 0 : integerOf(cursor.fieldValue(0));
  cursor.finalize();
  // The line's own date (a received line's is the server's), over the
  // trigger's moment of writing.
  requireDone(db, db.execute(u"insert or replace into " + datesTable(table_) + u" values (?, ?);",
                             {decimal16(rowid), when}));
  db.close();
  return rowid;
}

bool ChatLogStore::replaceLine(std::int64_t rowid, std::u16string_view line) const {
  // The search indexes follow a changed text through their triggers: a sent
  // line's state changes with every line sent, and dropping them each time
  // would have every search of a large log wait for a rebuild.
  return changeRow(
      rowid,
      [&](CppSQLite3Database& db, const std::u16string& id) {
        requireDone(db, db.execute(u"update " + table_ + u" set FriendLog = ? where rowid = ?;",
                                   {withoutTabsAndLineFeeds(line), id}));
      },
      /*dropIndex=*/false);
}

void ChatLogStore::replacePrefix(std::u16string_view from, std::u16string_view to,
                                 std::int64_t newest) const {
  if (from.empty()) return;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    const std::u16string length = decimal16(std::int64_t(ChatLogSearch::characters(from)));
    // Row ids only grow: the newest rows are a range of the table's b-tree.
    requireDone(
        db, db.execute(u"update " + table_ + u" set FriendLog = ? || substr(FriendLog, " + length +
                           u" + 1) where rowid > (select coalesce(max(rowid), 0) "
                           u"from " +
                           table_ + u") - " + decimal16(newest) + u" and substr(FriendLog, 1, " +
                           length + u") = ?;",
                       {std::u16string(to), std::u16string(from)}));
  }
  db.close();
}

std::vector<ChatLogLine> ChatLogStore::history(std::int32_t contactId) const {
  const std::u16string key = contactKey(contactId);
  std::vector<ChatLogLine> lines;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    CppSQLite3Query cursor =
        db.query(u"select * from " + table_ + u" where FriendCode = ?;", {key});
    for (; !cursor.eof(); cursor.nextRow())
      lines.push_back({cursor.fieldValue(1), cursor.fieldValue(2)});
    cursor.finalize();
  }
  db.close();
  return lines;
}

std::vector<ChatLogRow> ChatLogStore::rows(std::int32_t contactId) const {
  const std::u16string key = contactKey(contactId);
  std::vector<ChatLogRow> rows;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    CppSQLite3Query cursor = db.query(
        u"select " + rowColumns(db, table_) + u" where FriendCode = ? order by t.rowid;", {key});
    rows = readRows(cursor);
  }
  db.close();
  return rows;
}

std::vector<ChatLogRow> ChatLogStore::rows(std::int32_t contactId, size_t limit,
                                           std::int64_t before) const {
  const std::u16string key = contactKey(contactId);
  std::vector<ChatLogRow> rows;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    // Newest first through the contact index, so only the lines asked for are read.
    CppSQLite3Query cursor = db.query(
        u"select " + rowColumns(db, table_) + u" where FriendCode = ?" +
            (before > 0 ? u" and t.rowid < " + decimal16(before) : std::u16string()) +
            u" order by t.rowid desc" +
            (limit > 0 ? u" limit " + decimal16(std::int64_t(limit)) : std::u16string()) + u";",
        {key});
    rows = readRows(cursor);
    std::reverse(rows.begin(), rows.end());
  }
  db.close();
  return rows;
}

std::vector<ChatLogRow> ChatLogStore::allRows() const {
  std::vector<ChatLogRow> rows;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    CppSQLite3Query cursor = db.query(u"select " + rowColumns(db, table_) + u" order by t.rowid;");
    rows = readRows(cursor);
  }
  db.close();
  return rows;
}

std::int64_t ChatLogStore::count(std::int32_t contactId) const {
  std::int64_t n = 0;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_))
    n = db.scalar(u"select count(*) from " + table_ + u" where FriendCode = ?;",
                  {contactKey(contactId)});
  db.close();
  return n;
}

std::int64_t ChatLogStore::countAll() const {
  std::int64_t n = 0;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) n = db.scalar(u"select count(*) from " + table_ + u";");
  db.close();
  return n;
}

bool ChatLogStore::deleteRow(std::int64_t rowid) const {
  return changeRow(rowid, [&](CppSQLite3Database& db, const std::u16string& id) {
    requireDone(db, db.execute(u"delete from " + table_ + u" where rowid = ?;", {id}));
  });
}

bool ChatLogStore::changeRow(
    std::int64_t rowid,
    const std::function<void(CppSQLite3Database&, const std::u16string&)>& change,
    bool dropIndex) const {
  bool there = false;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    const std::u16string id = decimal16(rowid);
    there = db.scalar(u"select count(*) from " + table_ + u" where rowid = ?;", {id}) > 0;
    if (there) {
      if (dropIndex) ChatLogSearch::dropIndex(db, table_);
      change(db, id);
    }
  }
  db.close();
  return there;
}

void ChatLogStore::deleteLine(std::int32_t contactId, std::u16string_view line) const {
  const std::u16string key = contactKey(contactId);
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    ChatLogSearch::dropIndex(db, table_);
    requireDone(db,
                db.execute(u"delete from " + table_ + u" where FriendCode = ? and FriendLog = ?;",
                           {key, line}));
  }
  db.close();
}

void ChatLogStore::deleteContact(std::int32_t contactId) const {
  const std::u16string key = contactKey(contactId);
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    ChatLogSearch::dropIndex(db, table_);
    requireDone(db, db.execute(u"delete from " + table_ + u" where FriendCode = ?;", {key}));
  }
  db.close();
}

void ChatLogStore::deleteAll() const {
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    ChatLogSearch::dropIndex(db, table_);
    requireDone(db, db.execute(u"delete from " + table_ + u";"));
  }
  db.close();
}

}  // namespace tavrin::storage
