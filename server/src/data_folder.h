// The data folder's permissions. The database holds every account's digest
// key, which is enough to log in as that account, so the folder is the
// owner's alone (0700) and so are the database and its -wal, -shm and
// -journal files (0600); folders and files from older runs are narrowed on
// start. Start-up only, before the store opens.
#pragma once

#include <string>

namespace tavrin::server {

// Makes the folder (0700) or narrows an existing one to its owner. A folder
// that others may write into by design (the sticky bit, as /tmp has) is left
// as it is. Empty on success, else why not.
std::string prepareDataFolder(const std::string& dir);

// Narrows an existing file to its owner (mode & 0700); a missing file is
// fine. Empty on success, else why not.
std::string narrowFile(const std::string& path);

// Creates the database file 0600 when it is missing and narrows it and its
// companion files to 0600. Empty on success, else why not.
std::string narrowDatabaseFiles(const std::string& dbPath);

}  // namespace tavrin::server
