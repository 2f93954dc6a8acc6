// The data folder's permissions. The database holds every account's digest
// key, which is enough to log in as that account, so the folder is the
// owner's alone (0700) and so are the database and its -wal, -shm and
// -journal files (0600); folders and files from older runs are narrowed on
// start. Start-up only, before the store opens.
//
// The server takes only a folder it may call its own: one it makes, one
// that holds its marker file, an empty one, or one from an earlier version
// that holds its database. Pointed at anything else (/etc, a home folder)
// it refuses to start rather than write its files among someone else's, and
// it never changes the mode of a folder it did not make.
#pragma once

#include <string>

namespace tavrin::server {

// The marker file inside a data folder the server has taken.
inline constexpr const char* kDataMarker = ".tavrin-server";

// Takes the data folder: makes it (0700) when missing, else checks that it is
// the server's to use (see above) and leaves the marker in it. Only a folder
// the marker says the server made is narrowed again. `warning` gets a
// remark for the log (a taken folder others may enter), else stays empty.
// Empty on success, else why not.
std::string claimDataFolder(const std::string& dir, std::string* warning = nullptr);

// The same check without making or changing anything: empty when the
// server would take the folder. A missing folder passes unless mustExist.
std::string checkDataFolder(const std::string& dir, bool mustExist);

// A folder below the data folder (tls/): makes it (0700) or narrows an existing one to its owner. A folder
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
