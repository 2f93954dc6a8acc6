#include "storage/ChatLogSearch.h"

#include "storage/CppSQLite3Database.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/HistoryDatabase.h"
#include "storage/StorageGuard.h"
#include "storage/Text16.h"

namespace tavrin::storage {

// As in ChatLogStore, the only texts placed into statements are the table
// names, "tab" and digits plus fixed suffixes; values are bound.

namespace {

// Trigram matching needs three characters; below that the lines are scanned.
constexpr size_t kTrigram = 3;

std::vector<ChatLogRow> readHits(CppSQLite3Query& cursor) {
  std::vector<ChatLogRow> rows;
  for (; !cursor.eof(); cursor.nextRow()) {
    std::int64_t rowid = 0;
    for (const char16_t* p = cursor.fieldValue(0); *p >= u'0' && *p <= u'9'; ++p)
      rowid = rowid * 10 + (*p - u'0');
    rows.push_back({rowid, ChatLogStore::contactOfKey(cursor.fieldValue(1)), cursor.fieldValue(2),
                    cursor.fieldValue(3)});
  }
  cursor.finalize();
  return rows;
}

// '%query%' with LIKE's own characters escaped by '\'.
std::u16string likePattern(std::u16string_view query) {
  std::u16string pattern = u"%";
  for (char16_t c : query) {
    if (c == u'%' || c == u'_' || c == u'\\') pattern += u'\\';
    pattern += c;
  }
  return pattern + u"%";
}

// The query as one FTS5 phrase: in double quotes, inner quotes doubled.
std::u16string phrase(std::u16string_view query) {
  std::u16string quoted = u"\"";
  for (char16_t c : query) {
    if (c == u'"') quoted += u'"';
    quoted += c;
  }
  return quoted + u"\"";
}

}  // namespace

ChatLogSearch::ChatLogSearch(std::filesystem::path databasePath, std::int32_t userId)
    : path_(std::move(databasePath)), table_(ChatLogStore::tableName(userId)) {}

std::u16string ChatLogSearch::indexName(const std::u16string& table) {
  return table + u"_search";
}

size_t ChatLogSearch::characters(std::u16string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i, ++n)
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      ++i;
  return n;
}

void ChatLogSearch::dropIndex(CppSQLite3Database& db, const std::u16string& table) {
  const std::u16string index = indexName(table);
  for (const char16_t* suffix : {u"_ai", u"_ad", u"_au"})
    requireDone(db, db.execute(u"drop trigger if exists " + index + suffix + u";"));
  if (db.tableExists(index)) requireDone(db, db.execute(u"drop table " + index + u";"));
}

bool ChatLogSearch::ensureIndex(CppSQLite3Database& db) const {
  const std::u16string index = indexName(table_);
  if (db.tableExists(index)) return true;
  // One transaction: the index appears whole, with its triggers, or not at all.
  requireDone(db, db.execute(u"begin;"));
  auto failure = tryStorage([&] {
    requireDone(db,
                db.execute(u"create virtual table " + index + u" using fts5(FriendLog, content='" +
                           table_ + u"', content_rowid='rowid', tokenize='trigram');"));
    requireDone(db, db.execute(u"create trigger " + index + u"_ai after insert on " + table_ +
                               u" begin insert into " + index +
                               u"(rowid, FriendLog) values (new.rowid, new.FriendLog); end;"));
    requireDone(db, db.execute(u"create trigger " + index + u"_ad after delete on " + table_ +
                               u" begin insert into " + index + u"(" + index +
                               u", rowid, FriendLog) values ('delete', old.rowid, old.FriendLog);"
                               u" end;"));
    requireDone(db,
                db.execute(u"create trigger " + index + u"_au after update on " + table_ +
                           u" begin insert into " + index + u"(" + index +
                           u", rowid, FriendLog) values ('delete', old.rowid, old.FriendLog);"
                           u" insert into " +
                           index + u"(rowid, FriendLog) values (new.rowid, new.FriendLog); end;"));
    requireDone(db, db.execute(u"insert into " + index + u"(" + index + u") values ('rebuild');"));
    requireDone(db, db.execute(u"commit;"));
  });
  if (failure) {
    // No FTS5 in this SQLite, or a failing file: scan instead.
    (void)tryStorage([&] { db.execute(u"rollback;"); });
    return false;
  }
  return true;
}

bool ChatLogSearch::buildIndex() const {
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  const bool built = db.tableExists(table_) && ensureIndex(db);
  db.close();
  return built;
}

std::vector<ChatLogRow> ChatLogSearch::find(std::u16string_view query, size_t limit) const {
  std::vector<ChatLogRow> hits;
  if (query.empty() || limit == 0) return hits;
  const std::u16string count = decimal16(static_cast<std::int64_t>(limit));
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) {
    if (characters(query) >= kTrigram && ensureIndex(db)) {
      const std::u16string index = indexName(table_);
      CppSQLite3Query cursor =
          db.query(u"select " + table_ + u".rowid, FriendCode, " + table_ +
                       u".FriendLog, Time from " + index + u" join " + table_ + u" on " + table_ +
                       u".rowid = " + index + u".rowid where " + index + u" match ? order by " +
                       index + u".rowid desc limit " + count + u";",
                   {phrase(query)});
      hits = readHits(cursor);
    } else {
      CppSQLite3Query cursor = db.query(
          u"select rowid, FriendCode, FriendLog, Time from " + table_ +
              u" where FriendLog like ? escape '\\' order by rowid desc limit " + count + u";",
          {likePattern(query)});
      hits = readHits(cursor);
    }
  }
  db.close();
  return hits;
}

}  // namespace tavrin::storage
