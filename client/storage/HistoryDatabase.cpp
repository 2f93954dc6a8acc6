#include "storage/HistoryDatabase.h"

#include <sys/stat.h>
#include <unistd.h>

#include "storage/CppSQLite3Exception.h"
#include "storage/StorageGuard.h"

namespace tavrin::storage {

void openHistoryDatabase(CppSQLite3Database& db, const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path();
  // Only the database's own folder is made; a missing install folder above it
  // is a broken install, and open reports it (SQLITE_CANTOPEN).
  if (!folder.empty()) ::mkdir(folder.c_str(), 0700);  // EEXIST and ENOENT are both fine here

  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
      (st.st_mode & 077) != 0)
    ::chmod(path.c_str(), st.st_mode & 0700);

  db.open(path);
  requireDone(db, db.execute(u"pragma secure_delete = on;"));
  // Write-ahead: a search reads while a line is saved or the index grows, a
  // saved line waits for no reader, and a commit waits for no disk flush
  // (what is committed is the system's: it outlives our exit or a kill).
  // A file that cannot change its mode (read-only) stays as it is.
  (void)tryStorage([&] {
    CppSQLite3Query mode = db.query(u"pragma journal_mode = wal;");
    mode.finalize();
  });
  requireDone(db, db.execute(u"pragma synchronous = normal;"));
  // No operation folds the log back into the file on the way (a save would
  // pay for a long build's pages): the last connection to close does, and
  // the index build between its slices.
  {
    CppSQLite3Query off = db.query(u"pragma wal_autocheckpoint = 0;");
    off.finalize();
  }
}

void requireDone(const CppSQLite3Database& db, int result) {
  if (result != 0) throw CppSQLite3Exception(result, db.lastError());
}

}  // namespace tavrin::storage
