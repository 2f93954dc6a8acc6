#include "storage/SavedAccountStore.h"

#include "storage/CppSQLite3Database.h"
#include "storage/HistoryDatabase.h"

namespace tavrin::storage {

SavedAccountStore::SavedAccountStore(std::filesystem::path databasePath, PasswordKeeper* keeper)
    : path_(std::move(databasePath)), keeper_(keeper) {}

std::optional<std::vector<SavedAccount>> SavedAccountStore::load() const {
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (!db.tableExists(kTable)) {
    db.close();
    return std::nullopt;
  }
  std::vector<SavedAccount> rows;
  {
    CppSQLite3Query cursor = db.query(u"select * from TavrinPsd;");
    for (; !cursor.eof(); cursor.nextRow())
      rows.push_back({cursor.fieldValue(0), cursor.fieldValue(1)});
    cursor.finalize();
  }
  db.close();
  for (SavedAccount& row : rows) {
    if (row.password != kKeptMarker) continue;
    std::optional<std::u16string> kept = keeper_ ? keeper_->lookup(row.account) : std::nullopt;
    row.password = kept.value_or(u"");
  }
  return rows;
}

void SavedAccountStore::save(std::u16string_view account, std::u16string_view password) const {
  // An empty password is nothing to keep: the row says so as before.
  if (keeper_ && !password.empty() && keeper_->store(account, password)) password = kKeptMarker;
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (!db.tableExists(kTable))
    requireDone(db,
                db.execute(u"create table TavrinPsd (AccountID char(32), AccountPsd char(32));"));
  bool found;
  {
    CppSQLite3Query cursor = db.query(u"select * from TavrinPsd where AccountID = ?;", {account});
    found = !cursor.eof();
    cursor.finalize();
  }
  if (found)
    requireDone(db, db.execute(u"update TavrinPsd set AccountPsd = ? where AccountID = ?;",
                               {password, account}));
  else
    requireDone(db, db.execute(u"insert into TavrinPsd values (?,?);", {account, password}));
  db.close();
}

SavedAccount SavedAccountStore::prefill(const std::vector<SavedAccount>& rows) {
  SavedAccount shown;
  for (const SavedAccount& row : rows) {
    shown.account = row.account;
    if (row.account.size() == 9) shown.password = row.password;
  }
  return shown;
}

}  // namespace tavrin::storage
