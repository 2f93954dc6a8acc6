// How every storage operation of the client opens the history database: the
// path comes from the caller (the client's "DB" folder below its install
// folder), and nothing here knows where that is. Opening keeps the file to
// its owner (it holds chat logs and the saved passwords in clear text):
// a missing "DB" folder is created 0700, a missing file 0600, and an existing
// file of ours that others could read is narrowed to 0600. The connection
// then erases what a statement deletes (no old password or deleted chat line
// stays readable in free pages), and logs ahead (journal mode WAL: readers
// and one writer at once; the log is folded back into the file and removed
// when the last connection closes). The tables are those of older files.
// User-interface thread, one connection per operation.
#pragma once

#include <filesystem>

#include "storage/CppSQLite3Database.h"

namespace tavrin::storage {

// Opens `path` on `db` as above; throws CppSQLite3Exception as open does.
void openHistoryDatabase(CppSQLite3Database& db, const std::filesystem::path& path);

// Throws the connection's error when `result` (what execute returned) is not 0,
// so a failure that only showed at finalize is not taken for success.
void requireDone(const CppSQLite3Database& db, int result);

}  // namespace tavrin::storage
