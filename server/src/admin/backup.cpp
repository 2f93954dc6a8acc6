#include "admin/backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

namespace tavrin::server {

namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

Handle openDb(const std::string& path, int flags, std::string* why) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    *why = "cannot open " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 10000);
  return Handle(db);
}

// The first column of the first row, as text; empty on any failure.
std::string scalar(sqlite3* db, const char* sql) {
  sqlite3_stmt* s = nullptr;
  std::string out;
  if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
    if (const unsigned char* t = sqlite3_column_text(s, 0)) out = reinterpret_cast<const char*>(t);
  sqlite3_finalize(s);
  return out;
}

// Copies every page of `from` into `to` in one step (one consistent
// moment), waiting while the server holds a lock.
std::string copyPages(sqlite3* from, sqlite3* to) {
  sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
  if (!b) return std::string("cannot start the copy: ") + sqlite3_errmsg(to);
  int rc = SQLITE_OK;
  for (int tries = 0; tries < 400; ++tries) {
    rc = sqlite3_backup_step(b, -1);
    if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
    sqlite3_sleep(25);
  }
  sqlite3_backup_finish(b);
  if (rc != SQLITE_DONE) return std::string("the copy failed: ") + sqlite3_errstr(rc);
  return {};
}

// A new, empty file only its owner may read.
std::string makePrivateFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0)
    return errno == EEXIST ? path + " exists already; it is not overwritten"
                           : "cannot make " + path + ": " + std::strerror(errno);
  ::close(fd);
  return {};
}

std::string stamp() {
  char buf[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
  return buf;
}

}  // namespace

std::string checkDatabaseFile(const std::string& path, long* accounts) {
  std::string why;
  Handle db = openDb(path, SQLITE_OPEN_READONLY, &why);
  if (!db) return why;
  const std::string check = scalar(db.get(), "PRAGMA integrity_check");
  if (check != "ok") return path + " is damaged: " + (check.empty() ? "not a database" : check);
  if (scalar(db.get(), "SELECT value FROM meta WHERE key='domain'").empty())
    return path + " is not a tavrin-server database";
  if (accounts) *accounts = std::atol(scalar(db.get(), "SELECT count(*) FROM accounts").c_str());
  return {};
}

std::string backupDatabase(const std::string& dbPath, const std::string& target,
                           std::string* summary) {
  std::string why;
  if (::access(dbPath.c_str(), F_OK) != 0) return "no database at " + dbPath;
  Handle from = openDb(dbPath, SQLITE_OPEN_READWRITE, &why);
  if (!from) return why;
  if (why = makePrivateFile(target); !why.empty()) return why;
  auto fail = [&](std::string err) {
    ::unlink(target.c_str());
    return err;
  };
  {
    Handle to = openDb(target, SQLITE_OPEN_READWRITE, &why);
    if (!to) return fail(why);
    if (why = copyPages(from.get(), to.get()); !why.empty()) return fail(why);
    // One self-contained file: the copy leaves WAL mode.
    if (scalar(to.get(), "PRAGMA journal_mode=DELETE") != "delete")
      return fail("cannot finish " + target);
  }
  long accounts = 0;
  if (why = checkDatabaseFile(target, &accounts); !why.empty()) return fail(why);
  struct stat st {};
  ::stat(target.c_str(), &st);
  if (summary)
    *summary = "backup written to " + target + ": " + std::to_string(accounts) + " accounts, " +
               std::to_string(long(st.st_size)) + " bytes";
  return {};
}

std::string restoreDatabase(const std::string& backup, const std::string& dbPath,
                            std::string* summary) {
  long accounts = 0;
  if (std::string why = checkDatabaseFile(backup, &accounts); !why.empty()) return why;
  std::string kept;
  if (::access(dbPath.c_str(), F_OK) == 0) {
    kept = dbPath + ".replaced-" + stamp();
    for (const char* suffix : {"", "-wal", "-shm"}) {
      const std::string from = dbPath + suffix;
      if (::access(from.c_str(), F_OK) != 0) continue;
      if (::rename(from.c_str(), (kept + suffix).c_str()) != 0)
        return "cannot move " + from + " aside: " + std::strerror(errno);
    }
  }
  ::unlink((dbPath + "-journal").c_str());
  std::string why;
  if (why = makePrivateFile(dbPath); !why.empty()) return why;
  {
    Handle from = openDb(backup, SQLITE_OPEN_READONLY, &why);
    Handle to = from ? openDb(dbPath, SQLITE_OPEN_READWRITE, &why) : nullptr;
    if (!to || !(why = copyPages(from.get(), to.get())).empty()) {
      ::unlink(dbPath.c_str());
      if (!kept.empty())  // the database it was to replace goes back
        for (const char* suffix : {"", "-wal", "-shm"})
          ::rename((kept + suffix).c_str(), (dbPath + suffix).c_str());
      return why;
    }
  }
  if (summary)
    *summary = "restored " + std::to_string(accounts) + " accounts from " + backup +
               (kept.empty() ? std::string() : "; the database it replaced is kept as " + kept);
  return {};
}

}  // namespace tavrin::server
