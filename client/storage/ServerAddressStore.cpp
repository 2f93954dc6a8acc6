#include "storage/ServerAddressStore.h"

#include "storage/CppSQLite3Database.h"
#include "storage/HistoryDatabase.h"

namespace tavrin::storage {

ServerAddressStore::ServerAddressStore(std::filesystem::path databasePath)
    : path_(std::move(databasePath)) {}

std::optional<std::u16string> ServerAddressStore::loadLast() const {
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  std::optional<std::u16string> last;
  // Saved accounts can exist without this table (its save failed, or an older
  // file); reading it unchecked would throw on every start of the login screen.
  if (db.tableExists(kTable)) {
    CppSQLite3Query cursor = db.query(u"select * from TavrinServeAddr;");
    for (; !cursor.eof(); cursor.nextRow()) last = cursor.fieldValue(1);
    cursor.finalize();
  }
  db.close();
  return last;
}

void ServerAddressStore::append(std::u16string_view address) const {
  CppSQLite3Database db;
  openHistoryDatabase(db, path_);
  if (!db.tableExists(kTable))
    requireDone(
        db, db.execute(u"create table TavrinServeAddr (ServeName char(32), ServeAddr char(64));"));
  requireDone(db, db.execute(u"insert into TavrinServeAddr values (?,?);", {kServeName, address}));
  db.close();
}

}  // namespace tavrin::storage
