#include "storage/ChatLogStore.h"

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

bool ChatLogStore::append(std::int32_t contactId, std::u16string_view line,
                          std::u16string_view time) const {
  if (line.empty()) return false;
  const std::u16string stored = withoutTabsAndLineFeeds(line);
  const std::u16string key = contactKey(contactId);
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (!db.tableExists(table_))
    requireDone(db, db.execute(u"create table " + table_ +
                               u" (FriendCode char(64), FriendLog char(512), Time char(32));"));
  requireDone(db, db.execute(u"insert into " + table_ + u" values (?,?,?);", {key, stored, time}));
  db.close();
  return true;
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

void ChatLogStore::deleteLine(std::int32_t contactId, std::u16string_view line) const {
  const std::u16string key = contactKey(contactId);
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_))
    requireDone(db,
                db.execute(u"delete from " + table_ + u" where FriendCode = ? and FriendLog = ?;",
                           {key, line}));
  db.close();
}

void ChatLogStore::deleteContact(std::int32_t contactId) const {
  const std::u16string key = contactKey(contactId);
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_))
    requireDone(db, db.execute(u"delete from " + table_ + u" where FriendCode = ?;", {key}));
  db.close();
}

void ChatLogStore::deleteAll() const {
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (db.tableExists(table_)) requireDone(db, db.execute(u"delete from " + table_ + u";"));
  db.close();
}

}  // namespace tavrin::storage
