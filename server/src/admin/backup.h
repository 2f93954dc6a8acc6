// Backup and restore of the server's database. A backup is taken with
// SQLite's online backup while the server runs and writes: readers do not
// block the server's writes in WAL mode, and the copy is one consistent
// moment. A restore puts a checked backup in place while the server is
// stopped and keeps the database it replaces beside it. Both files hold
// every account's digest key: they are made 0600.
// One thread: the command's.
#pragma once

#include <string>

namespace tavrin::server {

// Copies the database at dbPath into `target`, a new file (an existing one
// is never overwritten), and checks the copy. Empty on success, else why
// not; `summary` says what was copied.
std::string backupDatabase(const std::string& dbPath, const std::string& target,
                           std::string* summary);

// Checks `backup` (a tavrin-server database, intact) and puts it in place of
// dbPath; an existing database (with its -wal and -shm) is renamed to
// dbPath.replaced-YYYYMMDD-HHMMSS. The caller makes sure no server runs on
// it. Empty on success, else why not.
std::string restoreDatabase(const std::string& backup, const std::string& dbPath,
                            std::string* summary);

// Why `path` is not an intact tavrin-server database (empty when it is);
// `accounts` gets how many accounts it holds.
std::string checkDatabaseFile(const std::string& path, long* accounts);

}  // namespace tavrin::server
